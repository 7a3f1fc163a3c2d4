// The archive window `TfmArchiveWindow`: the readings of periodic data logging collected in a grid
// while logging runs, one row per reading and one column per quantity. The columns are found by
// the key "%d. %s" (the entry's position and its name with the unit), so a reading whose records
// differ from earlier ones opens new columns at the right instead of mixing values.
//
// The window holds pages (`TNewTabSheet`), one per data source, each with its grid; the data
// logger names no source, so all readings go to one page whose name is empty.
#pragma once

#include <QPointer>
#include <QString>
#include <QTabWidget>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "foundation/dialogs.h"
#include "foundation/shell.h"
#include "mbus/records.h"
#include "ui/widgets.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace nord5::ui {

// A data page's grid (`TNewStringGrid`), named "grArray%d", with the name of its data source.
class TNewStringGrid final : public StringGrid {
  Q_OBJECT
 public:
  TNewStringGrid(QWidget* parent, int index, const QString& name);
  QString AName;
};

// A data page (`TNewTabSheet`) holding one grid.
class TNewTabSheet final : public QWidget {
  Q_OBJECT
 public:
  TNewTabSheet(QWidget* parent, int index, const QString& name);
  TNewStringGrid* Grid = nullptr;
};

class TfmArchiveWindow final : public QWidget {
  Q_OBJECT
 public:
  explicit TfmArchiveWindow(QWidget* parent = nullptr);
  ~TfmArchiveWindow() override;

  // The open window, or nullptr.
  static TfmArchiveWindow* Instance();
  // "Show log": opens the window unless it is open (an open one is not brought to the front).
  static TfmArchiveWindow* Open(QWidget* parent);

  // Adds one reading to the page of the (empty) source name. False when it failed as a whole.
  bool FillArray(const TFullRecord& DR, const QString& source = QString());

  // "&Make report" over every grid; the generator writes `path` with `kind` 1..3.
  void MakeReportClicked();

  void SetDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }
  void SetShell(Shell* shell) { shell_ = shell; }

  int RecordCount() const { return RecordCount_; }
  // The grids in creation order, and the grid of the first page (the one logging fills), or
  // nullptr before the first reading. Other views (a chart beside the grid) read them.
  std::vector<TNewStringGrid*> Grids() const;
  TNewStringGrid* Grid() const;
  // Every grid as text (row 0 the header), each titled with its source name: what a report shows.
  std::vector<std::vector<std::vector<QString>>> GridTexts() const;
  QTabWidget* Pages() const { return pcArchiveDataList1; }
  QCheckBox* AutoScroll() const { return cbAutoScroll1; }
  QCheckBox* RefreshList() const { return cbRefreshList; }
  QLabel* RecordCountLabel() const { return lbRecordCount1; }

 signals:
  // After each reading that was added (row is the new row of `grid`).
  void RecordAdded(nord5::ui::TNewStringGrid* grid, int row);

 private:
  TNewTabSheet* PageFor(const QString& source);
  void WidenColumn(StringGrid* grid, int col, const QString& text);
  void SetTabWidth();
  void MakeReportFile(int kind, const std::string& path);

  QPushButton* BitBtn1 = nullptr;
  QCheckBox* cbAutoScroll1 = nullptr;
  QLabel* lbRecordCount = nullptr;
  QLabel* lbRecordCount1 = nullptr;
  QCheckBox* cbRefreshList = nullptr;
  QTreeWidget* tvDeviceList1 = nullptr;
  QTabWidget* pcArchiveDataList1 = nullptr;
  std::vector<TNewTabSheet*> pages_;
  int RecordCount_ = 0;
  Dialogs* dialogs_ = nullptr;
  Shell* shell_ = nullptr;
  std::unique_ptr<Dialogs> own_dialogs_;
};

}  // namespace nord5::ui
