#include "ui/main_window.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "foundation/clock.h"
#include "foundation/settings.h"
#include "foundation/shell.h"
#include "model/form_layout.h"
#include "transport/comm_port.h"
#include "ui/find_meters_dialog.h"
#include "ui/input_filters.h"
#include "ui/qt_form_view.h"
#include "ui/status_panels.h"
#include "ui/widgets.h"
#include "ui/window_texts.h"

namespace nord5::ui {
namespace {

constexpr int kClientWidth = 887;
constexpr int kClientHeight = 681;

bool IsNumber(const QString& t, long long* v = nullptr) {
  bool ok = false;
  const long long n = t.trimmed().toLongLong(&ok);
  if (ok && v) *v = n;
  return ok && !t.trimmed().isEmpty();
}

}  // namespace

QString TfmTermuloConfig::Title() {
  return QString("%1 [v%2]").arg(kProgramTitle, NORD5_FILE_VERSION);
}

TfmTermuloConfig::TfmTermuloConfig(QWidget* parent) : QMainWindow(parent) {
  setObjectName("TfmTermuloConfig");
  setWindowTitle("Termulo 30 Config ");
  // Fixed single border with system menu and minimise box.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  BuildActions();
  BuildMenus();
  BuildToolBar();
  BuildTabs();
  status_ = new StatusPanels(this);
  auto* bar = new QStatusBar(this);
  bar->setSizeGripEnabled(false);
  bar->addWidget(status_, 1);
  bar->setContentsMargins(0, 0, 0, 0);
  setStatusBar(bar);

  form_ = std::make_unique<QtFormView>(this);
  ApplyDesignState();
  FitGridHeaders();
  InstallInputFilters();
  SetupAddressBox();
  SetupTimeCorrection();
  SetupHelpMenu();
  pages_->setCurrentIndex(0);
  languages_->menuAction()->setVisible(false);
  RebuildTitle();
  ApplyFixedClientSize();

  // Centre on the screen, then the stored position.
  if (QScreen* scr = QGuiApplication::primaryScreen()) {
    const QRect avail = scr->availableGeometry();
    const QPoint centred = avail.center() - QPoint(width() / 2, height() / 2);
    const auto left = SettingsValue(SettingsMode::Read, "Left", centred.x());
    const auto top = SettingsValue(SettingsMode::Read, "Top", centred.y());
    move(left.IsInteger() ? static_cast<int>(left.AsInt()) : centred.x(),
         top.IsInteger() ? static_cast<int>(top.AsInt()) : centred.y());
  }

  // The rules run whenever the event queue has run empty after some event was handled; their
  // own changes cause a few more events, after which nothing changes and the loop sleeps.
  qApp->installEventFilter(this);
  connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
          [this] {
            if (!rules_pending_) return;
            rules_pending_ = false;
            RunStateRules();
          });
  RunStateRules();
}

TfmTermuloConfig::~TfmTermuloConfig() {
  delete find_meters_;  // before the engine host and its port go
  SettingsValue(SettingsMode::Write, "Left", static_cast<int>(pos().x()));
  SettingsValue(SettingsMode::Write, "Top", static_cast<int>(pos().y()));
}

void TfmTermuloConfig::ApplyDesignState() {
  // The parameter controls start as the parameter procedures expect them: initial texts, items,
  // captions, check marks and grid headers come from the model's list of controls.
  FormView& f = *form_;
  for (const ControlSpec& c : ParameterControls()) {
    if (!f.Has(c.name)) continue;
    switch (f.Kind(c.name)) {
      case ControlKind::Edit:
        f.SetText(c.name, c.text);
        break;
      case ControlKind::ComboBox:
        f.SetItems(c.name, c.items);
        f.SetItemIndex(c.name, c.index);
        break;
      case ControlKind::CheckList:
        f.SetItems(c.name, c.items);
        break;
      case ControlKind::CheckBox:
      case ControlKind::RadioButton:
        if (!c.text.empty()) f.SetText(c.name, c.text);
        f.SetChecked(c.name, c.checked);
        break;
      case ControlKind::Grid:
        f.SetColCount(c.name, c.cols);
        f.SetRowCount(c.name, c.rows);
        for (std::size_t col = 0; col < c.header_row.size(); ++col)
          f.SetCell(c.name, static_cast<int>(col), 0, c.header_row[col]);
        for (std::size_t row = 0; row < c.label_column.size(); ++row)
          f.SetCell(c.name, 0, static_cast<int>(row), c.label_column[row]);
        break;
      case ControlKind::Label:
      case ControlKind::Button:
      case ControlKind::Group:
        if (!c.text.empty()) f.SetText(c.name, c.text);
        break;
      default:
        break;
    }
    if (!c.enabled) f.SetEnabled(c.name, false);
    if (!c.visible) f.SetVisible(c.name, false);
    if (c.read_only) f.SetReadOnly(c.name, true);
  }
}

void TfmTermuloConfig::FitGridHeaders() {
  // The calculator's headers ("Err old [%]") are wider than its numbers; its column widths
  // follow the texts in the window's font, so they stay readable at any resolution.
  auto* g = findChild<StringGrid*>("dataGridViewCor");
  if (!g) return;
  const QFontMetrics fm(g->font());
  int total = 0;
  for (int col = 0; col < g->columnCount(); ++col) {
    const int need = fm.horizontalAdvance(g->CellText(col, 0)) + 10;
    g->setColumnWidth(col, std::max(g->columnWidth(col), need));
    total += g->columnWidth(col);
  }
  g->setFixedWidth(total + 2 * g->frameWidth());
}

void TfmTermuloConfig::RebuildTitle() { setWindowTitle(Title()); }

FormView& TfmTermuloConfig::Form() { return *form_; }

QAction* TfmTermuloConfig::Action(const QString& name) const { return actions_.value(name); }

QAction* TfmTermuloConfig::AddAction(const QString& name, const QString& caption,
                                     const QKeySequence& key) {
  auto* a = new QAction(caption, this);
  a->setObjectName(name);
  if (!key.isEmpty()) a->setShortcut(key);
  a->setShortcutContext(Qt::WindowShortcut);
  addAction(a);  // shortcuts work without a menu entry
  actions_.insert(name, a);
  return a;
}

void TfmTermuloConfig::BuildActions() {
  AddAction("FileExit1", "E&xit", QKeySequence(Qt::ALT | Qt::Key_X));
  AddAction("caPortas", "Program settings", QKeySequence(Qt::Key_F6));
  AddAction("caReadConfiguration", "Read configuration", QKeySequence(Qt::Key_F3));
  AddAction("caWriteConfiguration", "Write configuration", QKeySequence(Qt::Key_F4));
  AddAction("caCheckManufacturerJumper", "Write configuration");
  AddAction("caLogWindow", "Log window", QKeySequence(Qt::CTRL | Qt::Key_D));
  AddAction("caFindMeters", "Find meters");
  AddAction("caClosePort", "Close port");
  AddAction("caLoadConfiguration", "Load configuration", QKeySequence(Qt::Key_F8));
  AddAction("caSaveConfiguration", "Save configuration", QKeySequence(Qt::Key_F9));
  AddAction("caLoadMTR07Menu", "Load menu");
  AddAction("caStoreMTR07Menu", "Store Menu");
  AddAction("caWriteUserMenu", "Write user menu");
  AddAction("caWriteUserConfiguration", "Write user configuration");
  AddAction("caSetPuseValue1", "Set puse value 1");
  AddAction("caSetPuseValue2", "Set puse value 2");
  AddAction("caSetDeviceID", "Set device ID");
  QAction* adv =
      AddAction("caAdvaced", "Advaced", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_QuoteLeft));
  adv->setCheckable(true);
  QAction* test =
      AddAction("caTestMode", "Test mode", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F12));
  test->setCheckable(true);
  AddAction("caTestModeWithoutChanging", "Test mode On/Off");
  AddAction("caTestModeWithChanging", "Test mode with changing");
  AddAction("caManufactureMode", "Manufacture mode");
  AddAction("caLockDevice", "Lock device");
  AddAction("caSetFabricationNumber", "Set fabrication number");
  AddAction("caReCalculateCRC", "Recalculate CRC");
  AddAction("caAutoConfigure", "Auto configure");
  for (const char* n : {"caTestModeWithChanging", "caManufactureMode", "caLockDevice",
                        "caSetFabricationNumber", "caReCalculateCRC", "caAutoConfigure"})
    actions_[n]->setEnabled(false);

  connect(actions_["FileExit1"], &QAction::triggered, this, &QWidget::close);
  connect(actions_["caFindMeters"], &QAction::triggered, this, &TfmTermuloConfig::FindMeters);
}

void TfmTermuloConfig::BuildMenus() {
  QMenu* m = menuBar()->addMenu("Managment");
  m->setObjectName("Managment1");
  m->addAction(actions_["caPortas"]);
  m->addSeparator();
  m->addAction(actions_["caReadConfiguration"]);
  m->addAction(actions_["caWriteConfiguration"]);
  m->addAction(actions_["caFindMeters"]);
  m->addSeparator();
  m->addAction(actions_["caLoadConfiguration"]);
  m->addAction(actions_["caSaveConfiguration"]);
  m->addSeparator();
  m->addAction(actions_["caLogWindow"]);
  m->addSeparator();
  m->addAction(actions_["FileExit1"]);
  languages_ = menuBar()->addMenu("Languages");
  languages_->setObjectName("Languages1");
  QMenu* h = menuBar()->addMenu("&Help");
  h->setObjectName("Help1");
  QAction* about = h->addAction("About");
  about->setObjectName("About1");
  QAction* check = h->addAction("Check update");
  check->setObjectName("Chackupdate1");
  h->addSeparator();
  const char* captions[] = {"Pagalba", "Help", "\u041F\u043E\u043C\u043E\u0449\u044C"};
  const char* names[] = {"HelpLT1", "HelpEN1", "HelpRU1"};
  for (int tag = 1; tag <= 3; ++tag) {
    QAction* a = h->addAction(QString::fromUtf8(captions[tag - 1]));
    a->setObjectName(names[tag - 1]);
    a->setData(tag);
    a->setVisible(false);
    help_items_.insert(tag, a);
  }
}

void TfmTermuloConfig::BuildToolBar() {
  auto* tb = new QToolBar(this);
  tb->setObjectName("ToolBar2");
  tb->setMovable(false);
  tb->setFloatable(false);
  tb->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  tb->setIconSize(QSize(20, 20));
  addToolBar(Qt::TopToolBarArea, tb);

  auto* panel = new QWidget(tb);
  panel->setObjectName("pnMBusAddr");
  auto* grid = new QGridLayout(panel);
  grid->setContentsMargins(4, 0, 6, 0);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(0);
  rb_mbus_ = MakeRadio(panel, "rbMBusAddr", "MBus addr.:", true);
  rb_mbus_->setProperty("tag", 1);
  rb_device_id_ = MakeRadio(panel, "rbDeviceID", "Device ID  :");
  rb_device_id_->setProperty("tag", 2);
  address_ = MakeEdit(panel, "ledMBusAddr", "254");
  address_->setFixedWidth(78);
  grid->addWidget(rb_mbus_, 0, 0);
  grid->addWidget(rb_device_id_, 1, 0);
  grid->addWidget(address_, 0, 1, 2, 1, Qt::AlignVCenter);
  panel->setFixedWidth(std::max(176, panel->sizeHint().width()));
  tb->addWidget(panel);
  tb->addSeparator();

  struct Btn {
    const char* action;
    const char* caption;
    QStyle::StandardPixmap icon;
  };
  const Btn buttons[] = {
      {"caReadConfiguration", "Read full configuration", QStyle::SP_ArrowDown},
      {"caCheckManufacturerJumper", "Write full configuration", QStyle::SP_ArrowUp},
      {nullptr, nullptr, QStyle::SP_CustomBase},
      {"caPortas", nullptr, QStyle::SP_ComputerIcon},
      {nullptr, nullptr, QStyle::SP_CustomBase},
      {"caLoadConfiguration", nullptr, QStyle::SP_DialogOpenButton},
      {"caSaveConfiguration", nullptr, QStyle::SP_DialogSaveButton},
      {nullptr, nullptr, QStyle::SP_CustomBase},
      {"caClosePort", nullptr, QStyle::SP_BrowserStop},
      {"FileExit1", nullptr, QStyle::SP_DialogCloseButton},
  };
  for (const Btn& b : buttons) {
    if (!b.action) {
      tb->addSeparator();
      continue;
    }
    QAction* a = actions_[b.action];
    a->setIcon(style()->standardIcon(b.icon));
    // Long captions go on two lines under the picture.
    const QString caption = b.caption ? QString(b.caption) : a->text();
    if (caption.size() > 14)
      a->setIconText(QString(caption).replace(caption.lastIndexOf(' '), 1, '\n'));
    else if (b.caption)
      a->setIconText(caption);
    a->setToolTip(QString(b.caption ? b.caption : a->text()).remove('&'));
    tb->addAction(a);
    if (auto* w = qobject_cast<QToolButton*>(tb->widgetForAction(a))) {
      w->setFixedWidth(94);
      w->setObjectName(QString("tb_") + b.action);
    }
  }
}

void TfmTermuloConfig::BuildTabs() {
  pages_ = new QTabWidget(this);
  pages_->setObjectName("pcMTR7FullData");
  pages_->addTab(BuildActualTab(), "Actual");
  pages_->addTab(BuildMenuTab(), "LCD Menu");
  pages_->addTab(BuildConfigurationTab(), "Configuration");
  pages_->addTab(BuildManufactureTab(), "Manufacture");
  pages_->addTab(BuildVarmeTab(), "VARME");
  pages_->addTab(BuildArchiveTab(), "Archive");
  pages_->setTabVisible(pages_->indexOf(pages_->findChild<QWidget*>("tbVARME")), false);
  pages_->setTabVisible(pages_->indexOf(pages_->findChild<QWidget*>("tbVarme2")), false);
  auto* central = new QWidget(this);
  auto* lay = new QVBoxLayout(central);
  lay->setContentsMargins(2, 2, 2, 0);
  lay->addWidget(pages_);
  setCentralWidget(central);
}

void TfmTermuloConfig::BindButton(const QString& button, const QString& action) {
  auto* b = findChild<QPushButton*>(button);
  QAction* a = actions_.value(action);
  if (!b || !a) return;
  connect(b, &QPushButton::clicked, a, &QAction::trigger);
  auto sync = [b, a] { b->setEnabled(a->isEnabled()); };
  connect(a, &QAction::changed, b, sync);
  sync();
}

void TfmTermuloConfig::ApplyFixedClientSize() {
  // The client area (tool bar, tabs and status bar) keeps its design size; the menu bar comes
  // on top of it.
  const int menu = menuBar()->sizeHint().height();
  setFixedSize(kClientWidth, kClientHeight + menu);
}

void TfmTermuloConfig::SetupAddressBox() {
  // "MBusAddress" with the box's text as default; a stored text that is no number becomes 254.
  const auto stored =
      SettingsValue(SettingsMode::Read, "MBusAddress", address_->text().toStdString());
  QString text = QString::fromStdString(stored.Text());
  if (!IsNumber(text)) {
    SettingsValue(SettingsMode::Write, "MBusAddress", 254);
    text = "254";
  }
  address_->setText(text);
  // "MBus addr.:" takes digits only, typed or pasted, as the address field of the "Actual" tab;
  // "Device ID  :" takes the identification's hexadecimal digits as before.
  auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), address_);
  address_->setValidator(digits);
  connect(rb_mbus_, &QRadioButton::clicked, this, [this, digits] {
    address_->setValidator(digits);
    const auto v = SettingsValue(SettingsMode::Read, "MBusAddress", address_->text().toStdString());
    address_->setText(QString::fromStdString(v.Text()));
    address_->setFocus();
  });
  connect(rb_device_id_, &QRadioButton::clicked, this, [this] {
    address_->setValidator(nullptr);
    address_->setText("0");
    address_->setFocus();
  });
  connect(address_, &QLineEdit::textChanged, this, [this](const QString& t) {
    // An address above 255 is not kept: the exchange refuses it with "Check parameters".
    long long v = 0;
    if (!rb_mbus_->isChecked() || !IsNumber(t, &v) || v < 0 || v > 255) return;
    SettingsValue(SettingsMode::Write, "MBusAddress", t.trimmed().toStdString());
  });
}

bool TfmTermuloConfig::FocusInput(const QString& name, int col, int row) {
  auto* w = qobject_cast<QWidget*>(form_->Object(name.toStdString()));
  if (!w) return false;
  // Every page around it to the front, the inner ones too.
  for (QWidget* p = w; p && p != this; p = p->parentWidget()) {
    QWidget* stack = p->parentWidget();
    auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    if (!tabs) continue;
    const int i = tabs->indexOf(p);
    if (i < 0 || !tabs->isTabVisible(i) || !tabs->isTabEnabled(i)) return false;
    tabs->setCurrentIndex(i);
  }
  if (!w->isVisibleTo(this) || !w->isEnabled()) return false;
  w->setFocus(Qt::OtherFocusReason);
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    e->selectAll();
  } else if (auto* sp = qobject_cast<QAbstractSpinBox*>(w)) {
    sp->selectAll();
  } else if (auto* g = qobject_cast<QTableWidget*>(w); g && col >= 0 && row >= 0) {
    g->setCurrentCell(row, col, QItemSelectionModel::ClearAndSelect);
    if (QTableWidgetItem* it = g->item(row, col)) g->scrollToItem(it);
  }
  return true;
}

bool TfmTermuloConfig::AddressModeMBus() const { return rb_mbus_->isChecked(); }
QString TfmTermuloConfig::AddressText() const { return address_->text(); }

void TfmTermuloConfig::UseAddress(bool primary, const QString& text) {
  (primary ? rb_mbus_ : rb_device_id_)->setChecked(true);
  address_->setText(text);
}

void TfmTermuloConfig::FindMeters() {
  TCommPort* port = TCommPort::Instance();
  if (!port) return;
  if (!find_meters_) {
    find_meters_ = new TfmFindMeters(*port, port->PortClock(), this);
    connect(find_meters_, &TfmFindMeters::meterChosen, this, &TfmTermuloConfig::UseAddress);
  }
  find_meters_->open();
}

void TfmTermuloConfig::SetupTimeCorrection() {
  auto* cb = findChild<QComboBox*>("cbTimeCorrection");
  const auto v = SettingsValue(SettingsMode::Read, "DeviceTimeCorection", 0);
  const int index = static_cast<int>(v.AsInt());
  cb->setCurrentIndex(index >= 0 && index < cb->count() ? index : 0);
  connect(cb, &QComboBox::currentIndexChanged, this, [](int i) {
    if (i >= 0) SettingsValue(SettingsMode::Write, "DeviceTimeCorection", i);
  });
}

void TfmTermuloConfig::SetupHelpMenu() {
  const char* keys[] = {"HelpFileLT", "HelpFileEN", "HelpFileRU"};
  // Only the English item is looked at on start; the update check reveals the others.
  const auto en = SettingsValue(SettingsMode::Read, keys[1], "");
  help_items_[2]->setVisible(!en.Text().empty() &&
                             QFileInfo::exists(QString::fromStdString(en.Text())));
  for (int tag = 1; tag <= 3; ++tag) {
    QAction* item = help_items_[tag];
    const std::string key = keys[tag - 1];
    // Opens the language's help file with the desktop's program for it; nothing without a file.
    connect(item, &QAction::triggered, this, [key] {
      const std::string path = SettingsValue(SettingsMode::Read, key, "").Text();
      if (path.empty() || !QFileInfo::exists(QString::fromStdString(path))) return;
      XdgShell().Open(path);
    });
  }
}

void TfmTermuloConfig::RevealHelpItems() {
  const char* keys[] = {"HelpFileLT", "HelpFileEN", "HelpFileRU"};
  for (int tag = 1; tag <= 3; ++tag) {
    const auto v = SettingsValue(SettingsMode::Read, keys[tag - 1], "");
    if (!v.Text().empty() && QFileInfo::exists(QString::fromStdString(v.Text())))
      help_items_[tag]->setVisible(true);
  }
}

void TfmTermuloConfig::BringToFront() {
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  showNormal();
  raise();
  activateWindow();
}

// The widgets whose state the rules read, looked up once.
struct TfmTermuloConfig::RuleInputs {
  QPointer<QAbstractButton> pulse_in[2], pulse_out[2], pulse_out_l1[2], pulse_out_l2[2];
  QPointer<QAbstractButton> tar1_1, tar1_5, tar1_6;
  QPointer<QComboBox> trigger1, trigger2, read_data, time_correction;
  QPointer<QTableWidget> archive;
};

// One control governed by the rules, bound to its object.
struct TfmTermuloConfig::BoundRule {
  std::string name;
  QPointer<QObject> object;
  QAction* action = nullptr;  // set when the control is an action
  bool tab_page = false;      // a page of a tab widget: its tab is enabled and shown
  ControlRule rule;
  std::optional<bool> emphasis_shown;  // the text style last given to the control
};

WindowState TfmTermuloConfig::CurrentState() const {
  if (!rule_inputs_) {
    auto in = std::make_unique<RuleInputs>();
    auto button = [this](const QString& n) { return findChild<QAbstractButton*>(n); };
    auto combo = [this](const char* n) { return findChild<QComboBox*>(n); };
    for (int ch = 0; ch < 2; ++ch) {
      const QString n = QString::number(ch + 1);
      in->pulse_in[ch] = button("PulseCfgRadioButton" + n + "in");
      in->pulse_out[ch] = button("PulseCfgRadioButton" + n + "out");
      in->pulse_out_l1[ch] = button("PulseCfgRadioButton" + n + "out_L1");
      in->pulse_out_l2[ch] = button("PulseCfgRadioButton" + n + "out_L2");
    }
    in->tar1_1 = button("radioButtonTar1_1");
    in->tar1_5 = button("radioButtonTar1_5");
    in->tar1_6 = button("radioButtonTar1_6");
    in->trigger1 = combo("comboBoxTriger1");
    in->trigger2 = combo("comboBoxTriger2");
    in->read_data = combo("cbReadData");
    in->time_correction = combo("cbTimeCorrection");
    in->archive = findChild<QTableWidget*>("sgArchive");
    const_cast<TfmTermuloConfig*>(this)->rule_inputs_ = std::move(in);
  }
  const RuleInputs& in = *rule_inputs_;
  auto checked = [](const QPointer<QAbstractButton>& b) { return b && b->isChecked(); };
  auto index = [](const QPointer<QComboBox>& c) { return c ? c->currentIndex() : -1; };
  WindowState s;
  s.advanced = actions_["caAdvaced"]->isChecked();
  for (int ch = 0; ch < 2; ++ch) {
    s.pulse_in[ch] = checked(in.pulse_in[ch]);
    s.pulse_out[ch] = checked(in.pulse_out[ch]);
    s.pulse_out_l1[ch] = checked(in.pulse_out_l1[ch]);
    s.pulse_out_l2[ch] = checked(in.pulse_out_l2[ch]);
  }
  s.tar1_1 = checked(in.tar1_1);
  s.tar1_5 = checked(in.tar1_5);
  s.tar1_6 = checked(in.tar1_6);
  s.trigger1 = index(in.trigger1);
  s.trigger2 = index(in.trigger2);
  s.read_data_index = index(in.read_data);
  s.time_correction_index = index(in.time_correction);
  if (in.archive) s.archive_rows = in.archive->rowCount();
  s.update_check_running = update_running && update_running();
  if (state_source) state_source(s);
  return s;
}

void TfmTermuloConfig::BindRules(const RuleResult& r) {
  // The rules name the same controls whatever the state, so the bound list is made once and
  // only takes the new values afterwards (the map keeps its names in order).
  bool same = bound_rules_.size() == r.controls.size();
  if (same) {
    std::size_t i = 0;
    for (const auto& [name, rule] : r.controls) {
      if (bound_rules_[i].name != name) {
        same = false;
        break;
      }
      ++i;
    }
  }
  if (!same) {
    bound_rules_.clear();
    bound_rules_.reserve(r.controls.size());
    for (const auto& [name, rule] : r.controls) {
      BoundRule b;
      b.name = name;
      b.object = form_->Object(name);
      b.action = qobject_cast<QAction*>(b.object.data());
      if (auto* w = qobject_cast<QWidget*>(b.object.data()); w && w->parentWidget())
        b.tab_page = qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget()) != nullptr;
      bound_rules_.push_back(std::move(b));
    }
  }
  std::size_t i = 0;
  for (const auto& [name, rule] : r.controls) bound_rules_[i++].rule = rule;
}

void TfmTermuloConfig::ApplyBoundRules() {
  for (BoundRule& b : bound_rules_) {
    QObject* o = b.object.data();
    if (!o) continue;
    const ControlRule& rule = b.rule;
    if (b.action) {
      if (rule.enabled && b.action->isEnabled() != *rule.enabled) b.action->setEnabled(*rule.enabled);
      if (rule.visible && b.action->isVisible() != *rule.visible) b.action->setVisible(*rule.visible);
      continue;
    }
    auto* w = static_cast<QWidget*>(o);
    if (b.tab_page) {
      // A page is enabled and shown through its tab.
      auto* tabs = static_cast<QTabWidget*>(w->parentWidget()->parentWidget());
      const int i = tabs->indexOf(w);
      if (i < 0) continue;
      if (rule.enabled && tabs->isTabEnabled(i) != *rule.enabled)
        tabs->setTabEnabled(i, *rule.enabled);
      if (rule.visible && tabs->isTabVisible(i) != *rule.visible)
        tabs->setTabVisible(i, *rule.visible);
      continue;
    }
    if (rule.enabled && w->testAttribute(Qt::WA_ForceDisabled) == *rule.enabled)
      w->setEnabled(*rule.enabled);
    if (rule.visible && w->isHidden() == *rule.visible) w->setVisible(*rule.visible);
    if (rule.read_only && form_->ReadOnly(b.name) != *rule.read_only)
      form_->SetReadOnly(b.name, *rule.read_only);
    if (rule.emphasis && b.emphasis_shown != rule.emphasis) {
      // Bold black while the value can be set, regular silver otherwise; a disabled box keeps
      // the style's disabled colour.
      const bool want = *rule.emphasis;
      b.emphasis_shown = want;
      QFont f = w->font();
      f.setBold(want);
      w->setFont(f);
      QPalette p = w->palette();
      const QColor text = want ? QColor(Qt::black) : QColor(0xC0, 0xC0, 0xC0);
      p.setColor(QPalette::Active, QPalette::Text, text);
      p.setColor(QPalette::Inactive, QPalette::Text, text);
      w->setPalette(p);
    }
  }
}

void TfmTermuloConfig::RunStateRules() {
  const WindowState s = CurrentState();
  if (!last_rule_state_ || !(*last_rule_state_ == s)) {
    const RuleResult r = ComputeStateRules(s);
    BindRules(r);
    status_->SetText(2, QString::fromStdString(r.panel2));
    last_rule_state_ = s;
  }
  // Applied on every pass, as the handlers of the pages also switch some of these controls; a
  // control already in its state is not touched.
  ApplyBoundRules();
  if (last_state_rule) last_state_rule();
}

void TfmTermuloConfig::closeEvent(QCloseEvent* event) {
  bool ok = true;
  if (close_guard) ok = close_guard();
  if (ok) {
    event->accept();
  } else {
    event->ignore();
  }
}

bool TfmTermuloConfig::eventFilter(QObject* watched, QEvent* event) {
  rules_pending_ = true;
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace nord5::ui

namespace nord5::ui {

void TfmTermuloConfig::InstallInputFilters() {
  BindButton("btLoadMenu", "caLoadMTR07Menu");
  BindButton("BitBtn2", "caStoreMTR07Menu");
  BindButton("btWriteUserMenu", "caWriteUserMenu");
  BindButton("btWriteUserConfiguration", "caWriteUserConfiguration");
  BindButton("btTestModeWithoutChanging", "caTestModeWithoutChanging");

  auto edit = [this](const char* n) { return findChild<QLineEdit*>(n); };
  for (const char* n :
       {"edPulseInput1",     "edPulseInput2",     "edPulseOutputValue", "textBoxR1lo",
        "textBoxR1hi",       "textBoxR2lo",       "textBoxR2hi",        "textBoxRref1_R1",
        "textBoxR1_Rref1",   "textBoxRref2_R1",   "textBoxR1_Rref2",    "textBoxRref1_R2",
        "textBoxR2_Rref1",   "textBoxRref2_R2",   "textBoxR2_Rref2",    "textBoxT_DIFF_START",
        "textBoxT_DIFF_MIN", "textBoxT_DIFF_MAX", "textBoxTEMP_MIN",    "textBoxTEMP_MAX"})
    InstallKeyFilter(edit(n), KeyFilterKind::Float);
  for (const char* n : {"edManufactureNumber", "textActDeviceID", "textActMBusAddr", "edManNumber",
                        "edRecordCount", "edLogingTime", "edOpticalCredits", "edMBusCredits"})
    InstallKeyFilter(edit(n), KeyFilterKind::Integer);
  for (const char* n : {"edManufacture1", "edManufacture"})
    InstallKeyFilter(edit(n), KeyFilterKind::Manufacturer);
  auto* addr_hex = findChild<QCheckBox*>("cbAddrHEX");
  auto* data_hex = findChild<QCheckBox*>("cbDataHEX");
  InstallKeyFilter(edit("edAddr"), KeyFilterKind::HexOrDecimal,
                   [addr_hex] { return addr_hex->isChecked(); });
  InstallKeyFilter(edit("edValue"), KeyFilterKind::HexOrDecimal,
                   [data_hex] { return data_hex->isChecked(); });
  for (const char* n : {"dataGridViewCor", "dataGridView_Q", "dataGridView_Qt", "tempDataGridView"})
    if (auto* g = findChild<StringGrid*>(n)) g->SetKeyFilter(static_cast<int>(KeyFilterKind::Grid));
  if (auto* g = findChild<StringGrid*>("dataGridView3"))
    g->SetKeyFilter(static_cast<int>(KeyFilterKind::AdvancedGrid));

  // "Value range form 0 to 250".
  QLineEdit* addr = edit("textActMBusAddr");
  addr->installEventFilter(new AddressClamp(addr));

  // edManufactureNumber: always read-only, silver text.
  QLineEdit* man = edit("edManufactureNumber");
  man->setReadOnly(true);
  QPalette p = man->palette();
  p.setColor(QPalette::Text, QColor(0xC0, 0xC0, 0xC0));
  man->setPalette(p);
}

}  // namespace nord5::ui
