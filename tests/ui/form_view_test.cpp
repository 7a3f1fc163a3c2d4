// The Qt form view follows the same handler rules as the in-memory form the core is tested with:
// one script of programmatic changes gives the same values and the same handler runs on both.
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>
#include <functional>
#include <map>

#include "foundation/memory_form.h"
#include "ui/qt_form_view.h"
#include "ui/widgets.h"
#include "ui_test_env.h"

using namespace nord5;

class FormViewTest : public QObject {
  Q_OBJECT
 private slots:
  void SameHandlerRunsAsMemoryForm();
  void MaskedTextKeepsPositions();
  void UserInputRunsHandlers();
  void UnknownNameThrows();
};

namespace {

struct Pair {
  QWidget root;
  ui::QtFormView* qt = nullptr;
  MemoryForm mem;
  std::map<std::string, int> qt_runs, mem_runs;

  Pair() {
    auto* lay = new QVBoxLayout(&root);
    lay->addWidget(ui::MakeEdit(&root, "ed", "a"));
    lay->addWidget(ui::MakeCheck(&root, "cb", "Check"));
    auto* radios = new QWidget(&root);
    auto* rl = new QVBoxLayout(radios);
    rl->addWidget(ui::MakeRadio(radios, "r1", "One", true));
    rl->addWidget(ui::MakeRadio(radios, "r2", "Two"));
    lay->addWidget(radios);
    lay->addWidget(ui::MakeCombo(&root, "combo", {"x", "y", "z"}, 0));
    lay->addWidget(ui::MakeCheckList(&root, "lv", {"p", "q"}, ""));
    lay->addWidget(ui::MakeGrid(&root, "grid", 2, 3, 0, 1));
    qt = new ui::QtFormView(&root);
    mem.Add("ed", ControlKind::Edit, "a");
    mem.Add("cb", ControlKind::CheckBox, "Check");
    mem.AddRadio("r1", "g", true, "One");
    mem.AddRadio("r2", "g", false, "Two");
    mem.AddCombo("combo", {"x", "y", "z"}, 0);
    mem.AddCheckList("lv", {"p", "q"});
    mem.AddGrid("grid", 2, 3);
    for (const char* n : {"ed", "cb", "r1", "r2", "combo", "lv", "grid"}) {
      qt->SetHandler(n, [this, n] { ++qt_runs[n]; });
      mem.SetHandler(n, [this, n] { ++mem_runs[n]; });
    }
  }
  void Both(const std::function<void(FormView&)>& op) {
    op(*qt);
    op(mem);
  }
};

}  // namespace

void FormViewTest::SameHandlerRunsAsMemoryForm() {
  Pair p;
  const std::vector<std::pair<const char*, std::function<void(FormView&)>>> script = {
      {"text changes", [](FormView& f) { f.SetText("ed", "b"); }},
      {"same text", [](FormView& f) { f.SetText("ed", "b"); }},
      {"detached text",
       [](FormView& f) {
         HandlerDetachGuard g(f, {"ed"});
         f.SetText("ed", "c");
       }},
      {"check", [](FormView& f) { f.SetChecked("cb", true); }},
      {"check again", [](FormView& f) { f.SetChecked("cb", true); }},
      {"radio 2", [](FormView& f) { f.SetChecked("r2", true); }},
      {"radio 1 unchecked from code", [](FormView& f) { f.SetChecked("r1", false); }},
      {"radio 1", [](FormView& f) { f.SetChecked("r1", true); }},
      {"radio 2 off", [](FormView& f) { f.SetChecked("r2", false); }},
      {"combo index", [](FormView& f) { f.SetItemIndex("combo", 2); }},
      {"combo same index", [](FormView& f) { f.SetItemIndex("combo", 2); }},
      {"combo items keep index",
       [](FormView& f) {
         f.SetItems("combo", {"a", "b", "c", "d"});
       }},
      {"combo items drop index", [](FormView& f) { f.SetItems("combo", {"a"}); }},
      {"combo text of item", [](FormView& f) { f.SetText("combo", "a"); }},
      {"combo text without item", [](FormView& f) { f.SetText("combo", "---"); }},
      {"check list mark", [](FormView& f) { f.SetItemChecked("lv", 1, true); }},
      {"check list index", [](FormView& f) { f.SetItemIndex("lv", 0); }},
      {"grid cell", [](FormView& f) { f.SetCell("grid", 1, 2, "5"); }},
      {"grid grows", [](FormView& f) { f.SetRowCount("grid", 5); }},
      {"fire", [](FormView& f) { f.FireHandler("ed"); }},
  };
  for (const auto& [step, op] : script) {
    p.Both(op);
    for (const char* n : {"ed", "cb", "r1", "r2", "combo", "lv", "grid"})
      QVERIFY2(p.qt_runs[n] == p.mem_runs[n], qPrintable(QString("%1: runs of %2").arg(step, n)));
    QCOMPARE(p.qt->Text("ed"), p.mem.Text("ed"));
    QCOMPARE(p.qt->Checked("cb"), p.mem.Checked("cb"));
    QCOMPARE(p.qt->Checked("r1"), p.mem.Checked("r1"));
    QCOMPARE(p.qt->Checked("r2"), p.mem.Checked("r2"));
    QCOMPARE(p.qt->Items("combo"), p.mem.Items("combo"));
    QVERIFY2(p.qt->ItemIndex("combo") == p.mem.ItemIndex("combo"), step);
    QVERIFY2(p.qt->Text("combo") == p.mem.Text("combo"), step);
    QCOMPARE(p.qt->ItemChecked("lv", 1), p.mem.ItemChecked("lv", 1));
    QCOMPARE(p.qt->RowCount("grid"), p.mem.RowCount("grid"));
    QCOMPARE(p.qt->Cell("grid", 1, 2), p.mem.Cell("grid", 1, 2));
  }
}

void FormViewTest::MaskedTextKeepsPositions() {
  QWidget root;
  ui::MakeEdit(&root, "th", "");
  ui::QtFormView f(&root);
  f.SetEditMask("th", "!00:00-00:00;1;_");
  QCOMPARE(f.EditMask("th"), std::string("!00:00-00:00;1;_"));
  // An empty masked field keeps its literals where the mask puts them.
  QCOMPARE(f.Text("th"), std::string("  :  -  :  "));
  f.SetText("th", "06:30-22:00");
  QCOMPARE(f.Text("th"), std::string("06:30-22:00"));
  f.SetEditMask("th", "");
  f.SetText("th", "5.000");
  QCOMPARE(f.Text("th"), std::string("5.000"));
}

void FormViewTest::UserInputRunsHandlers() {
  Pair p;
  auto* ed = p.root.findChild<QLineEdit*>("ed");
  QTest::keyClicks(ed, "xy");
  QCOMPARE(p.qt_runs["ed"], 2);
  // A click on the checked radio button runs its handler although nothing changes.
  auto* r1 = p.root.findChild<QRadioButton*>("r1");
  r1->click();
  QCOMPARE(p.qt_runs["r1"], 1);
  QVERIFY(r1->isChecked());
}

void FormViewTest::UnknownNameThrows() {
  QWidget root;
  ui::QtFormView f(&root);
  QVERIFY(!f.Has("textBoxQf"));
  QVERIFY_THROWS_EXCEPTION(UnknownControl, f.Text("textBoxQf"));
  QVERIFY_THROWS_EXCEPTION(UnknownControl, f.SetHandler("textBoxQf", [] {}));
}

NORD5_UI_TEST(FormViewTest);
#include "form_view_test.moc"
