#include "ui/options_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSocketNotifier>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QVBoxLayout>

#include "transport/comm_port.h"
#include "transport/port_list.h"
#include "transport/usb_notifier.h"
#include "transport/virtual_ports.h"
#include "ui/widgets.h"

namespace nord5::ui {
namespace {

// A port row: the name in grey on the list's background, the selected row in the highlight
// colours.
class PortRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* p, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& pal = option.palette;
    p->save();
    p->fillRect(option.rect, selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base));
    p->setPen(selected ? pal.color(QPalette::HighlightedText) : QColor(0x80, 0x80, 0x80));
    p->drawText(option.rect.adjusted(3, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                index.data(Qt::DisplayRole).toString());
    p->restore();
  }
};

}  // namespace

TfmOptions::TfmOptions(TCommPort& port, QWidget* parent, std::function<void()> close_port,
                       std::unique_ptr<TUSBNotifier> watcher)
    : QDialog(parent), port_(port), close_port_(std::move(close_port)) {
  setObjectName("TfmOptions");
  setWindowTitle("Program options");
  setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::CustomizeWindowHint);
  setModal(true);

  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(4, 4, 4, 4);
  auto* pages = new QTabWidget(this);
  pages->setObjectName("pcOptions");
  auto* tab = new QWidget;
  tab->setObjectName("tbCommunication");
  auto* tl = new QVBoxLayout(tab);
  tl->setContentsMargins(3, 3, 3, 3);
  QGroupBox* com = MakeGroup(tab, "gbCOMportOptions", "COM port options");
  auto* g = new QGridLayout(com);
  g->setContentsMargins(3, 3, 3, 3);
  g->setSpacing(2);
  const TPortCong& pc = port_.PC();
  baud_ = RadioGroup(
      com, "BaudRate", "Baud rate",
      {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}, 3, 3,
      static_cast<int>(pc.FBaudRate), g, 0, 0, 1);
  bits_ = RadioGroup(com, "Bits", "Bits", {"5", "6", "7", "8"}, 1, 3, static_cast<int>(pc.FBits), g,
                     0, 1, 1);
  parity_ =
      RadioGroup(com, "cbParityList1", "Parity", {"&None", "&Odd", "&Even", "&Mark", "&Sapce"}, 2,
                 2, static_cast<int>(pc.FParity), g, 1, 0, 1);
  stop_ = RadioGroup(com, "StopBits", "Stop Bits", {"1    bit", "1.5 bit", "2    bit"}, 1, 0,
                     static_cast<int>(pc.FStopBits), g, 1, 1, 1);
  auto* lines = new QWidget(com);
  auto* ll = new QHBoxLayout(lines);
  ll->setContentsMargins(4, 0, 0, 0);
  dtr_ = MakeCheck(lines, "DTR", "DTR", pc.FDTR);
  rts_ = MakeCheck(lines, "RTS", "RTS", pc.FRTS);
  ll->addWidget(dtr_);
  ll->addWidget(rts_);
  ll->addStretch(1);
  g->addWidget(lines, 2, 0, 1, 2);
  QGroupBox* mbus = MakeGroup(com, "gbMBusPort", "M-Bus port");
  auto* ml = new QVBoxLayout(mbus);
  ml->setContentsMargins(4, 2, 4, 4);
  ports_ = new QListWidget(mbus);
  ports_->setObjectName("lvMBusPort");
  ports_->setItemDelegate(new PortRowDelegate(ports_));
  ports_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
  ports_->setMinimumHeight(60);
  ml->addWidget(ports_);
  g->addWidget(mbus, 3, 0, 1, 2);
  g->setRowStretch(3, 1);
  tl->addWidget(com);
  pages->addTab(tab, "Communication");
  lay->addWidget(pages, 1);

  auto* buttons = new QHBoxLayout;
  QPushButton* ok = MakeButton(this, "btOk", "&Ok");
  QPushButton* no = MakeButton(this, "btNo", "&No");
  apply_ = MakeButton(this, "btAplly", "&Apply");
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(no);
  buttons->addWidget(apply_);
  lay->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &TfmOptions::accept);
  connect(no, &QPushButton::clicked, this, &TfmOptions::reject);
  connect(apply_, &QPushButton::clicked, this, &TfmOptions::SetAplly);

  for (QButtonGroup* grp : {baud_, bits_, parity_, stop_})
    connect(grp, &QButtonGroup::buttonClicked, this, &TfmOptions::Changed);
  connect(dtr_, &QCheckBox::clicked, this, &TfmOptions::Changed);
  connect(rts_, &QCheckBox::clicked, this, &TfmOptions::Changed);
  connect(ports_, &QListWidget::itemClicked, this, &TfmOptions::Changed);

  RefreshPorts();
  watcher_ = watcher ? std::move(watcher) : std::make_unique<TUSBNotifier>();
  watcher_->SetOnUSBArrival([this](TUSBNotifier&) { RefreshPorts(); });
  watcher_->SetOnUSBRemove([this](TUSBNotifier&) { RefreshPorts(); });
  if (watcher_->MonitorFd() >= 0) {
    auto* n = new QSocketNotifier(watcher_->MonitorFd(), QSocketNotifier::Read, this);
    connect(n, &QSocketNotifier::activated, this, [this] { watcher_->Dispatch(); });
  }
  WatchVirtualPorts();
  apply_->setEnabled(false);
  ScaleFormTo96(this);
  // The design size, unless the fonts of this desktop need more room.
  setFixedSize(sizeHint().expandedTo(QSize(291, 317)));
  if (parent) move(parent->window()->geometry().center() - rect().center());
}

TfmOptions::~TfmOptions() = default;

QButtonGroup* TfmOptions::RadioGroup(QWidget* parent, const QString& name, const QString& caption,
                                     const QStringList& items, int columns, int allowed,
                                     int selected, QGridLayout* into, int row, int col,
                                     int rowspan) {
  QGroupBox* box = MakeGroup(parent, name, caption);
  auto* gl = new QGridLayout(box);
  gl->setContentsMargins(4, 0, 4, 2);
  gl->setHorizontalSpacing(6);
  gl->setVerticalSpacing(0);
  auto* group = new QButtonGroup(box);
  const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
  for (int i = 0; i < items.size(); ++i) {
    auto* rb = new QRadioButton(items[i], box);
    rb->setObjectName(QString("%1_%2").arg(name).arg(i));
    rb->setEnabled(i == allowed);
    rb->setChecked(i == selected);
    group->addButton(rb, i);
    gl->addWidget(rb, i % rows, i / rows);
  }
  into->addWidget(box, row, col, rowspan, 1);
  return group;
}

void TfmOptions::Changed() { apply_->setEnabled(true); }
bool TfmOptions::ApplyEnabled() const { return apply_->isEnabled(); }

void TfmOptions::RefreshPorts() {
  TPortList& list = port_.PortList();
  list.FindPCPorts();
  // A port the user has picked and not applied yet stays picked while it is there.
  QString picked;
  if (QListWidgetItem* it = ports_->currentItem(); it && it->isSelected() && apply_->isEnabled())
    picked = it->text();
  ports_->clear();
  for (const std::string& n : list.Names()) ports_->addItem(QString::fromStdString(n));
  int i = picked.isEmpty() ? -1 : list.IndexOf(picked.toStdString());
  if (i < 0) i = list.IndexOf(port_.Port());
  ports_->setCurrentRow(i);
  if (i < 0) ports_->clearSelection();
}

void TfmOptions::WatchVirtualPorts() {
  // Virtual meters publish their ports as links in a folder; the device watcher only sees
  // kernel devices. The folder's parent is watched too, for the folder to be made.
  std::string where = port_.PortList().Discovery().VirtualFolder;
  if (where.empty()) where = VirtualPortsFolder();
  QString folder = QString::fromStdString(where);
  while (folder.size() > 1 && folder.endsWith('/')) folder.chop(1);
  const QString parent = QFileInfo(folder).absolutePath();
  folder_watch_ = new QFileSystemWatcher(this);
  auto watch = [this, folder, parent] {
    for (const QString& p : {parent, folder})
      if (!folder_watch_->directories().contains(p) && QFileInfo(p).isDir())
        folder_watch_->addPath(p);
  };
  watch();
  connect(folder_watch_, &QFileSystemWatcher::directoryChanged, this, [this, watch] {
    watch();
    RefreshPorts();
  });
}

void TfmOptions::SetAplly() {
  if (close_port_) {
    close_port_();
  } else {
    port_.Close();
  }
  TPortCong& pc = port_.PC();
  if (QListWidgetItem* it = ports_->currentItem(); it && it->isSelected())
    pc.FPort = it->text().toStdString();
  if (baud_->checkedId() >= 0) pc.FBaudRate = static_cast<TBaudRate>(baud_->checkedId());
  if (bits_->checkedId() >= 0) pc.FBits = static_cast<TBits>(bits_->checkedId());
  if (stop_->checkedId() >= 0) pc.FStopBits = static_cast<TStopBits>(stop_->checkedId());
  if (parity_->checkedId() >= 0) pc.FParity = static_cast<TParity>(parity_->checkedId());
  pc.FDTR = dtr_->isChecked();
  pc.FRTS = rts_->isChecked();
  port_.PortList().WriteIniFile();
  apply_->setEnabled(false);
}

void TfmOptions::accept() {
  if (apply_->isEnabled()) SetAplly();
  QDialog::accept();
}

}  // namespace nord5::ui
