#include "ui/find_meters_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/texts.h"
#include "transport/comm_port.h"

namespace nord5::ui {
namespace {

constexpr const char* kTitle = "Find meters";
constexpr const char* kHint = "Double-click a meter to use its address.";
constexpr const char* kCollisionNote = "Collision: more than one meter answers";
constexpr const char* kNoDataNote = "Acknowledged, sent no data";
constexpr const char* kBusyText = "Another exchange runs; the scan waits until it has ended.";
constexpr const char* kStoppedText = "Stopped";
constexpr const char* kPortClosedText = "The port was closed";
constexpr const char* kPrimaryCollisionHint =
    "Several meters answer at this address; a secondary scan tells them apart.";

enum Column { kAddress = 0, kId, kManufacturer, kVersion, kMedium, kAccess, kNote, kColumns };
constexpr int kRoleScan = Qt::UserRole;       // column 0: ScanKind
constexpr int kRoleKind = Qt::UserRole + 1;   // column 0: ScanEntry::Kind

QString Hex2(unsigned v) { return QString("%1").arg(v, 2, 16, QChar('0')).toUpper(); }

QString FoundText(const std::vector<ScanEntry>& entries) {
  int meters = 0, collisions = 0;
  for (const ScanEntry& e : entries) {
    if (e.kind == ScanEntry::Kind::Meter) ++meters;
    if (e.kind == ScanEntry::Kind::Collision) ++collisions;
  }
  QString text = meters == 1 ? QString("1 meter found") : QString("%1 meters found").arg(meters);
  if (collisions > 0)
    text += collisions == 1 ? QString(", 1 collision") : QString(", %1 collisions").arg(collisions);
  return text;
}

}  // namespace

TfmFindMeters::TfmFindMeters(TCommPort& port, const Clock& clock, QWidget* parent)
    : QDialog(parent), port_(port), scanner_(std::make_unique<TBusScanner>(port, clock)) {
  setObjectName("TfmFindMeters");
  setWindowTitle(kTitle);
  setModal(true);

  auto* primary_box = new QGroupBox("Primary addresses", this);
  primary_box->setObjectName("gbPrimaryScan");
  auto* pg = new QHBoxLayout(primary_box);
  from_ = new QSpinBox(primary_box);
  from_->setObjectName("spScanFrom");
  from_->setRange(0, kMaxScanAddress);
  from_->setValue(0);
  to_ = new QSpinBox(primary_box);
  to_->setObjectName("spScanTo");
  to_->setRange(0, kMaxScanAddress);
  to_->setValue(kMaxScanAddress);
  primary_ = new QPushButton("Primary scan", primary_box);
  primary_->setObjectName("btPrimaryScan");
  pg->addWidget(new QLabel("From", primary_box));
  pg->addWidget(from_);
  pg->addWidget(new QLabel("to", primary_box));
  pg->addWidget(to_);
  pg->addStretch(1);
  pg->addWidget(primary_);

  auto* secondary_box = new QGroupBox("Identification numbers (secondary addresses)", this);
  secondary_box->setObjectName("gbSecondaryScan");
  auto* sg = new QHBoxLayout(secondary_box);
  mask_ = new QLineEdit("FFFFFFFF", secondary_box);
  mask_->setObjectName("edScanMask");
  mask_->setMaxLength(8);
  mask_->setValidator(
      new QRegularExpressionValidator(QRegularExpression("[0-9Ff]{0,8}"), mask_));
  mask_->setToolTip("Eight characters: a digit fixes that digit of the identification, F leaves it open");
  mask_->setFixedWidth(90);
  secondary_ = new QPushButton("Secondary scan", secondary_box);
  secondary_->setObjectName("btSecondaryScan");
  sg->addWidget(new QLabel("Mask", secondary_box));
  sg->addWidget(mask_);
  sg->addStretch(1);
  sg->addWidget(secondary_);

  progress_ = new QProgressBar(this);
  progress_->setObjectName("pbScan");
  progress_->setRange(0, 1);
  progress_->setValue(0);
  status_ = new QLabel(kHint, this);
  status_->setObjectName("lbScanStatus");

  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName("sgMeters");
  table_->setHorizontalHeaderLabels(
      {"Address", "Identification", "Manufacturer", "Version", "Medium", "Access no.", "Note"});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setMinimumSize(620, 220);

  stop_ = new QPushButton("Stop", this);
  stop_->setObjectName("btStopScan");
  close_ = new QPushButton("Close", this);
  close_->setObjectName("btCloseScan");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(stop_);
  buttons->addWidget(close_);

  auto* lay = new QVBoxLayout(this);
  lay->addWidget(primary_box);
  lay->addWidget(secondary_box);
  lay->addWidget(progress_);
  lay->addWidget(status_);
  lay->addWidget(table_, 1);
  lay->addLayout(buttons);

  connect(primary_, &QPushButton::clicked, this, &TfmFindMeters::StartPrimaryScan);
  connect(secondary_, &QPushButton::clicked, this, &TfmFindMeters::StartSecondaryScan);
  connect(stop_, &QPushButton::clicked, this, &TfmFindMeters::StopScan);
  connect(close_, &QPushButton::clicked, this, &TfmFindMeters::reject);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { RowChosen(row); });

  scanner_->SetEvents({[this](const ScanEntry& e) { AddRow(e); },
                       [this](int value, int max) {
                         progress_->setRange(0, max);
                         progress_->setValue(value);
                         status_->setText(QString::fromStdString(scanner_->CurrentProbe()));
                       },
                       [this](ScanEnd end) { Finished(end); }});

  // The port may be closed under a scan (the adapter was unplugged), and another exchange may
  // start or end while the dialog is open: looked at a few times a second.
  watch_ = new QTimer(this);
  connect(watch_, &QTimer::timeout, this, [this] {
    scanner_->CheckPort();
    UpdateControls();
  });
  watch_->start(200);
  UpdateControls();
}

TfmFindMeters::~TfmFindMeters() { scanner_.reset(); }

void TfmFindMeters::StartPrimaryScan() {
  if (from_->value() > to_->value()) {
    const int from = from_->value();
    from_->setValue(to_->value());
    to_->setValue(from);
  }
  table_->setRowCount(0);
  Started(scanner_->StartPrimary(from_->value(), to_->value()));
}

void TfmFindMeters::StartSecondaryScan() {
  const auto mask = ParseScanMask(mask_->text().toStdString());
  if (!mask) {
    status_->setText("The mask needs eight characters, each a digit or F.");
    mask_->setFocus();
    return;
  }
  mask_->setText(mask_->text().toUpper());
  table_->setRowCount(0);
  Started(scanner_->StartSecondary(*mask));
}

void TfmFindMeters::Started(ScanStart result) {
  switch (result) {
    case ScanStart::Started:
      break;
    case ScanStart::Busy:
      status_->setText(kBusyText);
      break;
    case ScanStart::CantOpenPort:
      status_->setText(QString::fromUtf8(kTextCantOpenPort.data(),
                                         static_cast<int>(kTextCantOpenPort.size())));
      QMessageBox::critical(this, kTitle, status_->text());
      break;
    case ScanStart::BadInput:
      status_->setText("The scan does not fit these values.");
      break;
  }
  UpdateControls();
}

void TfmFindMeters::StopScan() { scanner_->Stop(); }

void TfmFindMeters::done(int result) {
  scanner_->Stop();
  QDialog::done(result);
}

void TfmFindMeters::AddRow(const ScanEntry& e) {
  const int row = table_->rowCount();
  table_->insertRow(row);
  auto set = [this, row](int col, const QString& text) {
    auto* item = new QTableWidgetItem(text);
    table_->setItem(row, col, item);
    return item;
  };
  const bool meter = e.kind == ScanEntry::Kind::Meter;
  QTableWidgetItem* first =
      set(kAddress, meter || e.scan == ScanKind::Primary ? QString::number(e.address) : QString());
  first->setData(kRoleScan, static_cast<int>(e.scan));
  first->setData(kRoleKind, static_cast<int>(e.kind));
  set(kId, meter || e.scan == ScanKind::Secondary ? QString::fromStdString(e.IdText()) : QString());
  if (meter) {
    set(kManufacturer, QString::fromStdString(e.ManufacturerText()));
    set(kVersion, Hex2(e.header.Version));
    set(kMedium, Hex2(e.header.Medium));
    set(kAccess, Hex2(e.header.AccessNumber));
  } else {
    set(kNote, e.kind == ScanEntry::Kind::Collision ? kCollisionNote : kNoDataNote);
  }
  for (int c = 0; c < kNote; ++c) table_->resizeColumnToContents(c);
}

void TfmFindMeters::Finished(ScanEnd end) {
  switch (end) {
    case ScanEnd::Completed: {
      const QString found = FoundText(scanner_->Entries());
      status_->setText(scanner_->Entries().empty() ? QString("No meter answered")
                                                   : found + ". " + kHint);
      break;
    }
    case ScanEnd::Stopped:
      status_->setText(QString(kStoppedText) + ": " + FoundText(scanner_->Entries()));
      break;
    case ScanEnd::PortClosed:
      status_->setText(kPortClosedText);
      break;
  }
  UpdateControls();
}

void TfmFindMeters::RowChosen(int row) {
  const QTableWidgetItem* first = table_->item(row, kAddress);
  if (!first) return;
  const auto scan = static_cast<ScanKind>(first->data(kRoleScan).toInt());
  const auto kind = static_cast<ScanEntry::Kind>(first->data(kRoleKind).toInt());
  if (kind != ScanEntry::Kind::Meter) {
    if (kind == ScanEntry::Kind::Collision && scan == ScanKind::Primary)
      status_->setText(kPrimaryCollisionHint);
    return;
  }
  if (scan == ScanKind::Primary)
    emit meterChosen(true, table_->item(row, kAddress)->text());
  else
    emit meterChosen(false, table_->item(row, kId)->text());
  accept();
}

void TfmFindMeters::UpdateControls() {
  const bool running = scanner_->Running();
  // A scan starts only while no exchange has the port.
  const bool free = !running && !port_.IsOpen();
  primary_->setEnabled(free);
  secondary_->setEnabled(free);
  from_->setEnabled(!running);
  to_->setEnabled(!running);
  mask_->setEnabled(!running);
  stop_->setEnabled(running);
  if (!running && port_.IsOpen())
    status_->setText(kBusyText);
  else if (status_->text() == kBusyText)
    status_->setText(kHint);
}

}  // namespace nord5::ui
