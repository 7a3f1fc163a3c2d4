// The handler rules the parameter code relies on: programmatic changes run handlers unless
// detached, only when the value changes, and radio groups stay exclusive.
#include <gtest/gtest.h>

#include <stdexcept>

#include "foundation/memory_form.h"

namespace nord5 {
namespace {

TEST(MemoryForm, ProgrammaticChangesRunHandlersOnlyWhenTheValueChanges) {
  MemoryForm form;
  form.Add("edA", ControlKind::Edit, "1");
  form.Add("cbB", ControlKind::CheckBox);
  form.AddCombo("cbList", {"a", "b", "c"}, 0);
  form.Add("lbLabel", ControlKind::Label);
  int edits = 0, clicks = 0, changes = 0, labels = 0;
  form.SetHandler("edA", [&] { ++edits; });
  form.SetHandler("cbB", [&] { ++clicks; });
  form.SetHandler("cbList", [&] { ++changes; });
  form.SetHandler("lbLabel", [&] { ++labels; });

  form.SetText("edA", "1");
  form.SetText("edA", "2");
  form.SetChecked("cbB", false);
  form.SetChecked("cbB", true);
  form.SetItemIndex("cbList", 0);
  form.SetItemIndex("cbList", 2);
  form.SetText("cbList", "b");       // a list takes the item with that text
  form.SetText("lbLabel", "caption");  // labels have no change event
  EXPECT_EQ(edits, 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(labels, 0);
  EXPECT_EQ(form.ItemIndex("cbList"), 1);
  EXPECT_EQ(form.Text("cbList"), "b");
}

TEST(MemoryForm, DetachedHandlersStaySilentUntilAttachedAgain) {
  MemoryForm form;
  form.Add("edA", ControlKind::Edit);
  int runs = 0;
  form.SetHandler("edA", [&] { ++runs; });
  {
    HandlerDetachGuard guard(form, {"edA"});
    form.SetText("edA", "x");
    form.FireHandler("edA");
  }
  EXPECT_EQ(runs, 0);
  form.SetText("edA", "y");
  EXPECT_EQ(runs, 1);
  // A guard does not attach what was detached before it.
  form.DetachHandler("edA");
  { HandlerDetachGuard guard(form, {"edA"}); }
  EXPECT_FALSE(form.HandlerAttached("edA"));
}

TEST(MemoryForm, RadioGroupsAreExclusiveAndOnlyTheCheckedButtonClicks) {
  MemoryForm form;
  form.AddRadio("rb1", "g", true);
  form.AddRadio("rb2", "g");
  form.AddRadio("rbOther", "h", true);
  int r1 = 0, r2 = 0;
  form.SetHandler("rb1", [&] { ++r1; });
  form.SetHandler("rb2", [&] { ++r2; });
  form.SetChecked("rb2", true);
  EXPECT_FALSE(form.Checked("rb1"));
  EXPECT_TRUE(form.Checked("rbOther"));
  EXPECT_EQ(r1, 0);
  EXPECT_EQ(r2, 1);
  form.UserClick("rb2");  // a click on the checked button runs its handler again
  EXPECT_EQ(r2, 2);
}

TEST(MemoryForm, WrongNamesAndWrongKindsFailLoudly) {
  MemoryForm form;
  form.Add("edA", ControlKind::Edit);
  form.AddGrid("sg", 3, 2);
  EXPECT_THROW(form.Text("edMissing"), UnknownControl);
  EXPECT_THROW(form.SetChecked("edA", true), std::logic_error);
  EXPECT_THROW(form.Cell("edA", 0, 0), std::logic_error);
  EXPECT_THROW(form.Cell("sg", 3, 0), std::out_of_range);
  form.SetCell("sg", 2, 1, "x");
  form.SetRowCount("sg", 5);  // resizing keeps the cells that still fit
  EXPECT_EQ(form.Cell("sg", 2, 1), "x");
  EXPECT_EQ(form.RowCount("sg"), 5);
}

}  // namespace
}  // namespace nord5
