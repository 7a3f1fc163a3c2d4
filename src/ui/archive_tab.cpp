#include "ui/archive_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>
#include <QPainter>
#include <QTreeWidget>

#include "foundation/atomic_file.h"
#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "mbus/decoder.h"
#include "meterdata/report_texts.h"
#include "ui/main_window.h"
#include "ui/widgets.h"

namespace nord5::ui {

namespace {

const QColor kSelectedBack(0xC0, 0xC0, 0xC0);
const QColor kCrossBack(0x00, 0xFF, 0xFF);  // aqua: $FFFF00 as a Windows (BGR) colour value

// The operating system's decimal separator, as the archive grid shows numbers with it. A
// separator that is not one ASCII character cannot be written by the formatter; '.' then.
char LocaleDecimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  if (point.size() == 1 && point[0].unicode() > 0x20 && point[0].unicode() < 0x7F)
    return static_cast<char>(point[0].unicode());
  return '.';
}

}  // namespace

ArchiveCellDelegate::ArchiveCellDelegate(StringGrid* grid)
    : QStyledItemDelegate(grid), grid_(grid) {}

void ArchiveCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  const bool fixed = index.row() < grid_->FixedRows() || index.column() < grid_->FixedCols();
  if (fixed || grid_->rowCount() <= 1) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  const QModelIndex cur = grid_->currentIndex();
  QColor back = grid_->palette().color(QPalette::Base);
  QColor fore = grid_->palette().color(QPalette::Text);
  QFont font = grid_->font();
  if (cur.isValid() && cur.row() == index.row() && cur.column() == index.column()) {
    back = kSelectedBack;
    fore = Qt::red;
    font.setBold(true);
  } else if (cur.isValid() && (cur.row() == index.row() || cur.column() == index.column())) {
    back = kCrossBack;
  }
  const QRect area = option.rect.adjusted(-4, 0, 0, 0);
  painter->save();
  painter->setClipRect(area);
  painter->fillRect(area, back);
  painter->setPen(fore);
  painter->setFont(font);
  painter->drawText(area.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                    index.data(Qt::DisplayRole).toString());
  painter->restore();
}

ArchiveTab::ArchiveTab(TfmTermuloConfig& window, TProtocolEngine& engine,
                       std::function<Dialogs&()> dialogs)
    : window_(window),
      dialogs_(std::move(dialogs)),
      view_(window.findChild<StringGrid*>("sgArchive")),
      grid_(
          [this](std::string_view text) {
            return view_ ? QFontMetrics(view_->font())
                               .horizontalAdvance(QString::fromUtf8(
                                   text.data(), static_cast<qsizetype>(text.size())))
                         : 0;
          },
          view_ ? view_->horizontalHeader()->defaultSectionSize() : ArchiveGrid::kDefaultColWidth),
      reading_(engine, grid_),
      default_opener_(std::make_unique<XdgReportOpener>(shell_)),
      opener_(default_opener_.get()) {
  SetSystemDecimalSeparator(LocaleDecimalSeparator());
  reading_.on_row = [this](int row) { ShowRow(row); };
  if (view_) {
    view_->setItemDelegate(new ArchiveCellDelegate(view_));
    // A click moves the highlight of the row and column with the selected cell.
    connect(view_, &QTableWidget::currentCellChanged, view_,
            [this] { view_->viewport()->update(); });
    connect(view_, &QTableWidget::cellClicked, view_, [this] { view_->viewport()->update(); });
  }
}

ArchiveTab::~ArchiveTab() = default;

void ArchiveTab::SetClock(const Clock* clock) { clock_ = clock; }

void ArchiveTab::ReadData() {
  if (view_) {
    view_->SetFixedRows(0);
    view_->Resize(1, 1);
    view_->SetCellText(0, 0, QString());
  }
  std::vector<int> rows;
  if (auto* list = window_.findChild<QTreeWidget*>("lvParamList"))
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      if (list->topLevelItem(i)->checkState(0) == Qt::Checked) rows.push_back(i);
  reading_.Start(rows);
  ApplyWidths();
  emit GridChanged();
}

void ArchiveTab::TakeAnswer(const std::uint8_t* frame, int limit) {
  reading_.TakeAnswer(frame, limit);
}

void ArchiveTab::ShowRow(int row) {
  if (!view_) return;
  const int cols = grid_.ColCount();
  view_->Resize(cols, row + 1);
  if (row == 1)
    for (int c = 0; c < cols; ++c)
      view_->SetCellText(c, 0, QString::fromStdString(grid_.Cell(c, 0)));
  for (int c = 0; c < cols; ++c)
    view_->SetCellText(c, row, QString::fromStdString(grid_.Cell(c, row)));
  if (view_->FixedRows() != 1) view_->SetFixedRows(1);
  ApplyWidths();
  auto* scroll = window_.findChild<QCheckBox*>("cbAutoScroll");
  if (scroll && scroll->isChecked()) {
    const int col = std::max(view_->currentColumn(), 0);
    view_->setCurrentCell(row, col);
    view_->scrollToItem(view_->item(row, col));
  }
  view_->viewport()->update();
  emit GridChanged();
}

void ArchiveTab::ApplyWidths() {
  if (!view_) return;
  for (int c = 0; c < grid_.ColCount() && c < view_->columnCount(); ++c)
    if (view_->columnWidth(c) != grid_.ColWidth(c)) view_->setColumnWidth(c, grid_.ColWidth(c));
}

void ArchiveTab::MakeReportClicked() {
  const Clock& clock = clock_ ? *clock_ : SystemClock::Instance();
  const QLocale locale = QLocale::system();
  MonthNames months;
  WeekdayNames days;
  for (int i = 0; i < 12; ++i)
    months[static_cast<std::size_t>(i)] = locale.monthName(i + 1).toStdString();
  for (int i = 0; i < 7; ++i)
    days[static_cast<std::size_t>(i)] = locale.dayName(i + 1).toStdString();

  FileDialogRequest request;
  request.Save = true;
  request.Title = std::string(kTextSaveReport);
  request.Folder = SettingsValue(SettingsMode::Read, "ReportFilePath", ProgramFolder()).Text();
  request.FileName = ProposedReportName(clock.LocalTime(), months, days);
  request.Filter = std::string(kTextReportFilter);
  request.DefaultExt = std::string(kTextReportDefaultExt);
  request.FilterIndex =
      static_cast<int>(SettingsValue(SettingsMode::Read, "FileTypeIndex", 1).AsInt());
  Dialogs& dialogs = dialogs_();
  const auto chosen = dialogs.FileDialog(request);
  if (!chosen) return;
  SettingsValue(SettingsMode::Write, "FileTypeIndex", chosen->FilterIndex);
  std::string name;
  if (auto* kind = window_.findChild<QComboBox*>("cbReadData"))
    name = kind->currentText().toStdString();
  MakeReport(chosen->FilterIndex, chosen->Path, {grid_.ToReport(name)}, clock, dialogs, opener_);
  SettingsValue(SettingsMode::Write, "ReportFilePath", FolderOf(chosen->Path));
}

}  // namespace nord5::ui
