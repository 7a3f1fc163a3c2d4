#include "ui/archive_window.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSplitter>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <exception>

#include "foundation/settings.h"
#include "mbus/records.h"
#include "ui/chart_panel.h"
#include "ui/qt_seams.h"

#include "foundation/clock.h"
#include "meterdata/report.h"

namespace nord5::ui {
namespace {

TfmArchiveWindow*& OpenWindow() {
  static TfmArchiveWindow* window = nullptr;
  return window;
}

const QColor kCream(255, 251, 240);  // $F0FBFF as a Windows colour value

}  // namespace

TNewStringGrid::TNewStringGrid(QWidget* parent, int index, const QString& name)
    : StringGrid(parent, 1, 1, 1, 1), AName(name) {
  setObjectName(QString("grArray%1").arg(index));
  verticalHeader()->setDefaultSectionSize(20);
  horizontalHeader()->setMinimumSectionSize(10);
  horizontalHeader()->setDefaultSectionSize(10);
  setShowGrid(true);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  QPalette p = palette();
  p.setColor(QPalette::Base, kCream);
  setPalette(p);
}

TNewTabSheet::TNewTabSheet(QWidget* parent, int index, const QString& name) : QWidget(parent) {
  setObjectName(QString("TNewTabSheet%1").arg(index));
  Grid = new TNewStringGrid(this, index, name);
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->addWidget(GridWithChart(Grid, [] { return '.'; }));  // logged numbers always use '.'
}

TfmArchiveWindow::TfmArchiveWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("TfmArchiveWindow");
  setWindowTitle("Archive Window");
  setAttribute(Qt::WA_DeleteOnClose);
  resize(800, 500);

  auto* bar = new QToolBar(this);
  bar->setObjectName("ToolBar1");
  BitBtn1 = MakeButton(bar, "BitBtn1", "&Make report");
  cbAutoScroll1 = MakeCheck(bar, "cbAutoScroll1", "auto scroll", true);
  auto* panel = new QFrame(bar);
  panel->setObjectName("pnRecordCount");
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* pl = new QHBoxLayout(panel);
  pl->setContentsMargins(6, 1, 6, 1);
  lbRecordCount = MakeLabel(panel, "lbRecordCount", "Record count");
  lbRecordCount1 = MakeLabel(panel, "lbRecordCount1", "0");
  for (QLabel* l : {lbRecordCount, lbRecordCount1}) {
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    pl->addWidget(l);
  }
  cbRefreshList = MakeCheck(bar, "cbRefreshList", "Refresh current data list", true);
  bar->addWidget(BitBtn1);
  bar->addWidget(cbAutoScroll1);
  bar->addWidget(panel);
  bar->addWidget(cbRefreshList);

  // The page list: one node per data source. With the one unnamed source of the data logger it
  // adds nothing, so it stays hidden.
  tvDeviceList1 = new QTreeWidget(this);
  tvDeviceList1->setObjectName("tvDeviceList1");
  tvDeviceList1->setHeaderHidden(true);
  tvDeviceList1->setItemsExpandable(false);
  tvDeviceList1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvDeviceList1->hide();
  pcArchiveDataList1 = new QTabWidget(this);
  pcArchiveDataList1->setObjectName("pcArchiveDataList1");
  pcArchiveDataList1->setDocumentMode(true);

  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(0);
  lay->addWidget(bar);
  auto* body = new QHBoxLayout;
  body->addWidget(tvDeviceList1);
  body->addWidget(pcArchiveDataList1, 1);
  lay->addLayout(body, 1);

  ScaleFormTo96(this);
  OpenWindow() = this;

  connect(tvDeviceList1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    const int i = item ? tvDeviceList1->indexOfTopLevelItem(item) : -1;
    if (i >= 0 && i < pcArchiveDataList1->count()) pcArchiveDataList1->setCurrentIndex(i);
  });
  // The stored state, written back at once as a click would.
  const bool refresh =
      SettingsValue(SettingsMode::Read, "cbRefreshList", cbRefreshList->isChecked()).AsBool();
  cbRefreshList->setChecked(refresh);
  SettingsValue(SettingsMode::Write, "cbRefreshList", refresh);
  connect(cbRefreshList, &QCheckBox::clicked, this,
          [](bool on) { SettingsValue(SettingsMode::Write, "cbRefreshList", on); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { MakeReportClicked(); });

  own_dialogs_ = std::make_unique<QtDialogs>(this);
  dialogs_ = own_dialogs_.get();
}

TfmArchiveWindow::~TfmArchiveWindow() {
  if (OpenWindow() == this) OpenWindow() = nullptr;
}

TfmArchiveWindow* TfmArchiveWindow::Instance() { return OpenWindow(); }

TfmArchiveWindow* TfmArchiveWindow::Open(QWidget* parent) {
  if (TfmArchiveWindow* w = Instance()) return w;
  auto* w = new TfmArchiveWindow(parent);
  w->show();
  return w;
}

std::vector<TNewStringGrid*> TfmArchiveWindow::Grids() const {
  std::vector<TNewStringGrid*> out;
  for (TNewTabSheet* p : pages_) out.push_back(p->Grid);
  return out;
}

TNewStringGrid* TfmArchiveWindow::Grid() const {
  return pages_.empty() ? nullptr : pages_.front()->Grid;
}

void TfmArchiveWindow::SetTabWidth() {
  // Wide enough for the caption of every tab; an empty caption still gets a clickable tab.
  pcArchiveDataList1->setStyleSheet(
      QString("QTabBar::tab { min-width: %1px; }").arg(std::max(40, width() / 8)));
}

TNewTabSheet* TfmArchiveWindow::PageFor(const QString& source) {
  for (TNewTabSheet* p : pages_)
    if (pcArchiveDataList1->tabText(pcArchiveDataList1->indexOf(p)) == source) return p;
  const int index = static_cast<int>(pages_.size());
  auto* page = new TNewTabSheet(pcArchiveDataList1, index, source);
  pages_.push_back(page);
  pcArchiveDataList1->addTab(page, source);
  SetTabWidth();
  auto* node = new QTreeWidgetItem(tvDeviceList1);
  node->setText(0, QString("%1. %2").arg(index + 1, 3).arg(source));
  if (tvDeviceList1->topLevelItemCount() == 1) tvDeviceList1->setCurrentItem(node);
  return page;
}

void TfmArchiveWindow::WidenColumn(StringGrid* grid, int col, const QString& text) {
  const int want = grid->fontMetrics().horizontalAdvance(text) + 18;
  if (grid->columnWidth(col) < want) grid->setColumnWidth(col, want);
}

bool TfmArchiveWindow::FillArray(const TFullRecord& DR, const QString& source) {
  try {
    ++RecordCount_;
    lbRecordCount1->setText(QString::number(RecordCount_));
    TNewStringGrid* grid = PageFor(source)->Grid;
    grid->setProperty("tag", 1);
    if (grid->rowCount() == 1) {
      grid->SetCellText(0, 0, "Number");
      WidenColumn(grid, 0, "Number");
    }
    // Rows are added one at a time and only the new row's cells are made, so a grid of a day's
    // readings costs the same per reading as the first one.
    const int r = grid->rowCount();
    grid->setRowCount(r + 1);
    grid->SetCellText(0, r, QString::number(r));
    for (int i = 0; i < DR.Count; ++i) {
      try {
        const TTableRecord& e = DR.Rec[static_cast<std::size_t>(i)];
        const QString name = QString::fromStdString(e.Name);
        const QString units = QString::fromStdString(e.Units);
        const QString header = units.isEmpty() ? name : QString("%1, %2").arg(name, units);
        const QString key = QString("%1. %2").arg(i + 1).arg(header);
        int col = -1;
        for (int c = 0; c < grid->columnCount(); ++c)
          if (grid->CellText(c, 0) == key) {
            col = c;
            break;
          }
        if (col < 0) {
          col = grid->columnCount();
          grid->setColumnCount(col + 1);
          grid->SetCellText(col, 0, key);
          WidenColumn(grid, col, key);
        }
        const QString value = QString::fromStdString(VariantToText(e.Value));
        grid->SetCellText(col, r, value);
        WidenColumn(grid, col, value);
      } catch (const std::exception&) {
        // This entry's cell stays empty; the next entry goes on.
      }
    }
    if (cbAutoScroll1->isChecked()) {
      grid->setCurrentCell(r, std::max(1, grid->currentColumn()));
      grid->scrollToBottom();
    }
    grid->viewport()->update();
    emit RecordAdded(grid, r);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void TfmArchiveWindow::MakeReportClicked() {
  FileDialogRequest req;
  req.Save = true;
  req.Title = "Save report";
  req.DefaultExt = "xls";
  req.Filter = "MS Excel format (*.xls)|*.xls|MS Word format (*.doc)|*.doc|HTML format (*.htm)|*.htm";
  const auto index = SettingsValue(SettingsMode::Read, "FileTypeIndex", 1).AsInt();
  req.FilterIndex = index >= 1 && index <= 3 ? static_cast<int>(index) : 1;
  req.FileName =
      QLocale::system().toString(QDateTime::currentDateTime(), "yyyy MMMM dd dddd hh_mm_ss")
          .toStdString();
  const auto chosen = dialogs_->FileDialog(req);
  if (!chosen) return;
  SettingsValue(SettingsMode::Write, "FileTypeIndex", chosen->FilterIndex);
  MakeReportFile(chosen->FilterIndex, chosen->Path);
}

std::vector<std::vector<std::vector<QString>>> TfmArchiveWindow::GridTexts() const {
  std::vector<std::vector<std::vector<QString>>> out;
  for (const TNewStringGrid* g : Grids()) {
    std::vector<std::vector<QString>> rows;
    for (int r = 0; r < g->rowCount(); ++r) {
      std::vector<QString> row;
      for (int c = 0; c < g->columnCount(); ++c) row.push_back(g->CellText(c, r));
      rows.push_back(std::move(row));
    }
    out.push_back(std::move(rows));
  }
  return out;
}

void TfmArchiveWindow::MakeReportFile(int kind, const std::string& path) {
  std::vector<ReportGrid> grids;
  const auto texts = GridTexts();
  const auto list = Grids();
  for (std::size_t i = 0; i < list.size(); ++i) {
    ReportGrid g;
    g.Name = list[i]->AName.toStdString();
    for (std::size_t r = 0; r < texts[i].size(); ++r) {
      std::vector<std::string> row;
      for (const QString& t : texts[i][r]) row.push_back(t.toStdString());
      if (r == 0)
        g.Header = std::move(row);
      else
        g.Rows.push_back(std::move(row));
    }
    grids.push_back(std::move(g));
  }
  XdgShell xdg;
  Shell& shell = shell_ ? *shell_ : static_cast<Shell&>(xdg);
  XdgReportOpener opener(shell);
  MakeReport(kind, path, grids, SystemClock::Instance(), *dialogs_, &opener);
}

}  // namespace nord5::ui
