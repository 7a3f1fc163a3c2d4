#include "ui/widgets.h"

#include <QHeaderView>
#include <QPainter>

#include "foundation/utils.h"
#include "ui/input_filters.h"

namespace nord5::ui {
namespace {

const QColor kSilver(192, 192, 192);
const QColor kCyan(0, 255, 255);
const QColor kFixed(236, 233, 216);

}  // namespace

StringGrid::StringGrid(QWidget* parent, int cols, int rows, int fixed_cols, int fixed_rows)
    : QTableWidget(rows, cols, parent), fixed_cols_(fixed_cols), fixed_rows_(fixed_rows) {
  horizontalHeader()->hide();
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(17);
  verticalHeader()->setMinimumSectionSize(14);
  horizontalHeader()->setDefaultSectionSize(72);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setItemDelegate(new GridDelegate(this));
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) StyleItem(c, r);
}

void StringGrid::SetFixedRows(int rows) {
  fixed_rows_ = rows;
  for (int r = 0; r < rowCount(); ++r)
    for (int c = 0; c < columnCount(); ++c) StyleItem(c, r);
}

void StringGrid::StyleItem(int col, int row) {
  QTableWidgetItem* it = item(row, col);
  if (!it) {
    it = new QTableWidgetItem();
    setItem(row, col, it);
  }
  const bool fixed = row < fixed_rows_ || col < fixed_cols_;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (!fixed) flags |= Qt::ItemIsEditable;
  it->setFlags(flags);
  it->setBackground(fixed ? QBrush(kFixed) : QBrush());
}

QString StringGrid::CellText(int col, int row) const {
  const QTableWidgetItem* it = item(row, col);
  return it ? it->text() : QString();
}

void StringGrid::SetCellText(int col, int row, const QString& text) {
  QTableWidgetItem* it = item(row, col);
  if (!it) {
    StyleItem(col, row);
    it = item(row, col);
  }
  it->setText(text);
}

void StringGrid::Resize(int cols, int rows) {
  const int old_rows = rowCount();
  const int old_cols = columnCount();
  setColumnCount(cols);
  setRowCount(rows);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      if (r >= old_rows || c >= old_cols || !item(r, c)) StyleItem(c, r);
}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
  const int row = index.row();
  const int col = index.column();
  const bool fixed = row < grid_->FixedRows() || col < grid_->FixedCols();
  if (fixed || !grid_->CrossHighlight() || grid_->rowCount() <= grid_->FixedRows()) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  const QModelIndex cur = grid_->currentIndex();
  QColor back = grid_->palette().color(QPalette::Base);
  QColor fore = grid_->palette().color(QPalette::Text);
  QFont font = grid_->font();
  if (cur.isValid() && cur.row() == row && cur.column() == col) {
    back = kSilver;
    fore = Qt::red;
    font.setBold(true);
  } else if (cur.isValid() && (cur.row() == row || cur.column() == col)) {
    back = kCyan;
  }
  painter->save();
  painter->fillRect(option.rect, back);
  painter->setPen(fore);
  painter->setFont(font);
  painter->drawText(option.rect.adjusted(2, 1, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                    index.data(Qt::DisplayRole).toString());
  painter->restore();
}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
  QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
  if (grid_->edit_started)
    grid_->edit_started(index.column(), index.row(), grid_->CellText(index.column(), index.row()));
  if (auto* e = qobject_cast<QLineEdit*>(editor); e && grid_->KeyFilterType() >= 0)
    InstallKeyFilter(e, static_cast<ui::KeyFilterKind>(grid_->KeyFilterType()));
  return editor;
}

void ScaleFormTo96(QWidget* w) {
  const int p = ScaleFormTo96Percent(static_cast<int>(w->logicalDpiX()));
  if (p == 100) return;
  QFont f = w->font();
  f.setPointSizeF(f.pointSizeF() * p / 100.0);
  w->setFont(f);
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption) {
  auto* w = new QLabel(QString(caption).replace("&&", "&"), parent);
  w->setObjectName(name);
  w->setProperty("caption", caption);
  return w;
}

QLineEdit* MakeEdit(QWidget* parent, const QString& name, const QString& text, bool read_only) {
  auto* w = new QLineEdit(text, parent);
  w->setObjectName(name);
  w->setReadOnly(read_only);
  return w;
}

QCheckBox* MakeCheck(QWidget* parent, const QString& name, const QString& caption, bool checked) {
  auto* w = new QCheckBox(caption, parent);
  w->setObjectName(name);
  w->setChecked(checked);
  return w;
}

QRadioButton* MakeRadio(QWidget* parent, const QString& name, const QString& caption,
                        bool checked) {
  auto* w = new QRadioButton(caption, parent);
  w->setObjectName(name);
  w->setChecked(checked);
  return w;
}

QComboBox* MakeCombo(QWidget* parent, const QString& name, const QStringList& items, int index) {
  auto* w = new QComboBox(parent);
  w->setObjectName(name);
  w->addItems(items);
  w->setCurrentIndex(index);
  return w;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption) {
  auto* w = new QPushButton(caption, parent);
  w->setObjectName(name);
  w->setAutoDefault(false);
  return w;
}

QGroupBox* MakeGroup(QWidget* parent, const QString& name, const QString& caption) {
  auto* w = new QGroupBox(caption, parent);
  w->setObjectName(name);
  return w;
}

QSpinBox* MakeSpin(QWidget* parent, const QString& name, int min, int max, int value) {
  auto* w = new QSpinBox(parent);
  w->setObjectName(name);
  w->setRange(min, max);
  w->setValue(value);
  return w;
}

StringGrid* MakeGrid(QWidget* parent, const QString& name, int cols, int rows, int fixed_cols,
                     int fixed_rows) {
  auto* w = new StringGrid(parent, cols, rows, fixed_cols, fixed_rows);
  w->setObjectName(name);
  return w;
}

QTreeWidget* MakeCheckList(QWidget* parent, const QString& name, const QStringList& items,
                           const QString& header) {
  auto* w = new QTreeWidget(parent);
  w->setObjectName(name);
  w->setColumnCount(1);
  w->setRootIsDecorated(false);
  w->setSelectionBehavior(QAbstractItemView::SelectRows);
  w->setEditTriggers(QAbstractItemView::NoEditTriggers);
  if (header.isEmpty()) {
    w->setHeaderHidden(true);
  } else {
    w->setHeaderLabel(header);
  }
  for (const QString& text : items) {
    auto* it = new QTreeWidgetItem(w, QStringList{text});
    it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    it->setCheckState(0, Qt::Unchecked);
  }
  return w;
}

}  // namespace nord5::ui
