#include "ui/data_logging_binding.h"

#include "foundation/atomic_file.h"
#include "foundation/dialogs.h"
#include "foundation/form_view.h"
#include "meterdata/data_logging.h"
#include "ui/archive_window.h"
#include "ui/status_panels.h"

namespace nord5::ui {

void BindDataLogging(TDataLogger& logger, FormView& form, QWidget* window, StatusPanels& status,
                     std::function<Dialogs&()> dialogs) {
  logger.always_select = [&form] { return form.Checked("cbAlwaysSelectData"); };
  logger.show_status = [&status](const std::string& text) {
    status.SetText(1, QString::fromStdString(text));
  };
  logger.feed = [](const TFullRecord& DR) {
    if (TfmArchiveWindow* w = TfmArchiveWindow::Instance()) w->FillArray(DR);
  };
  // Runs on every change of the check box, by a click or from code (the engine unchecks it when
  // the port cannot be opened).
  form.SetHandler("cbLogingData", [&logger, &form, dialogs] {
    if (!form.Checked("cbLogingData")) {
      if (logger.Stop()) dialogs().Info(kTextLoggingStop);
      return;
    }
    const auto file = ChooseLogFile(dialogs(), ProgramFolder());
    if (!file) {
      form.SetChecked("cbLogingData", false);
      return;
    }
    logger.Start(*file, LogIntervalMs(form.Text("edLogingTime")));
  });
  form.SetHandler("btShowLog", [window] { TfmArchiveWindow::Open(window); });
}

}  // namespace nord5::ui
