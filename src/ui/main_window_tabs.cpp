// The six pages of the main window and their controls.
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "mbus/decoder.h"
#include "ui/chart_panel.h"
#include "ui/main_window.h"
#include "ui/pictures.h"
#include "ui/widgets.h"
#include "ui/window_texts.h"

namespace nord5::ui {
namespace {

constexpr const char* kPlaceholder = "XXXXXX";

// Bold text for a box only while it is enabled: a disabled box must not look editable.
class BoldWhileEnabled : public QObject {
 public:
  using QObject::QObject;
  static void Apply(QWidget* w) {
    QFont f = w->font();
    if (f.bold() == w->isEnabled()) return;
    f.setBold(w->isEnabled());
    w->setFont(f);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::EnabledChange) Apply(static_cast<QWidget*>(watched));
    return false;
  }
};

// A value box of the live-values page: read-only, grey text; the boxes a value can be typed into
// bold black. The colours are those of an enabled box: a disabled one keeps the style's.
QLineEdit* ValueBox(QWidget* parent, const QString& name, bool bold = false) {
  QLineEdit* e = MakeEdit(parent, name, kPlaceholder, true);
  QPalette p = e->palette();
  const QColor text = bold ? QColor(Qt::black) : QColor(96, 96, 96);
  p.setColor(QPalette::Active, QPalette::Text, text);
  p.setColor(QPalette::Inactive, QPalette::Text, text);
  e->setPalette(p);
  if (bold) {
    e->installEventFilter(new BoldWhileEnabled(e));
    BoldWhileEnabled::Apply(e);
  }
  return e;
}

// label | widget [| extra] rows of a grid layout.
struct Rows {
  QGridLayout* g;
  int row = 0;
  void Add(QWidget* label, QWidget* field, QWidget* extra = nullptr) {
    if (label) g->addWidget(label, row, 0);
    if (field) g->addWidget(field, row, 1, 1, extra ? 1 : 2);
    if (extra) g->addWidget(extra, row, 2);
    ++row;
  }
};

QGridLayout* GridIn(QWidget* w, int margin = 6) {
  auto* g = new QGridLayout(w);
  g->setContentsMargins(margin, margin, margin, margin);
  g->setHorizontalSpacing(6);
  g->setVerticalSpacing(4);
  return g;
}

QLabel* Picture(QWidget* parent, const QString& name, const QPixmap& pm) {
  QLabel* l = MakeLabel(parent, name, "");
  l->setPixmap(pm);
  l->setFixedSize(pm.size());
  return l;
}

QPushButton* SetButton(QWidget* parent, const QString& name) {
  QPushButton* b = MakeButton(parent, name, "Set");
  b->setFixedWidth(44);
  return b;
}

}  // namespace

QWidget* TfmTermuloConfig::BuildActualTab() {
  auto* page = new QWidget;
  page->setObjectName("tbActual");
  auto* outer = new QVBoxLayout(page);
  outer->setContentsMargins(8, 8, 8, 8);
  auto* lay = new QHBoxLayout;
  lay->setSpacing(8);
  outer->addLayout(lay);
  outer->addStretch(1);

  // Counters.
  QGroupBox* counters = MakeGroup(page, "gbCounters", "Counters");
  Rows c{GridIn(counters)};
  c.g->setColumnMinimumWidth(0, 96);
  c.Add(MakeLabel(counters, "lbHeatingEnergy", "Heating energy"),
        ValueBox(counters, "edHeatingEnergy"));
  c.Add(MakeLabel(counters, "lbCoolingEnergy", "Cooling energy"),
        ValueBox(counters, "edCoolingEnergy"));
  c.Add(MakeLabel(counters, "lbTariff1", "Tariff 1"), ValueBox(counters, "edTariff1"));
  c.Add(MakeLabel(counters, "lbTariff2", "Tariff 2"), ValueBox(counters, "edTariff2"));
  c.Add(MakeLabel(counters, "lbVolume", "Volume"), ValueBox(counters, "edVolume"));
  c.Add(MakeLabel(counters, "lbPulseInput1", "Pulse input 1"), ValueBox(counters, "edPulseInput1"),
        SetButton(counters, "btSetPulse1"));
  c.Add(MakeLabel(counters, "lbPulseInput2", "Pulse input 2"), ValueBox(counters, "edPulseInput2"),
        SetButton(counters, "btSetPulse2"));
  c.Add(MakeLabel(counters, "lbManufactureNumber", "Manufacturer number"),
        ValueBox(counters, "edManufactureNumber"));

  // Status information.
  QGroupBox* status = MakeGroup(page, "gbStatusInformation", "Status information");
  Rows s{GridIn(status)};
  s.g->setColumnMinimumWidth(0, 90);
  s.Add(MakeLabel(status, "lbWorkingTime", "Working time"), ValueBox(status, "edWorkingTime"));
  s.Add(MakeLabel(status, "lbErrorFreeTime", "Error free time"),
        ValueBox(status, "edErrorFreeTime"));
  s.Add(MakeLabel(status, "lbErrorDateAndTime", "Error date && time"),
        ValueBox(status, "edErrorDateAndTime"));
  s.Add(MakeLabel(status, "lbErrorCode", "Error code"), ValueBox(status, "edErrorCode"));
  QLineEdit* id = ValueBox(status, "textActDeviceID", true);
  id->setReadOnly(false);
  s.Add(MakeLabel(status, "lbActDeviceID", "Device ID"), id, SetButton(status, "btDeviceID"));
  QLineEdit* addr = ValueBox(status, "textActMBusAddr", true);
  addr->setReadOnly(false);
  addr->setToolTip("Value range form 0 to 250");
  s.Add(MakeLabel(status, "lbActMBusAddr", "M-Bus address"), addr,
        SetButton(status, "btSetMBusAddress"));
  s.Add(MakeLabel(status, "lbDeviceTime", "Device time"), ValueBox(status, "edDeviceTime"));
  s.Add(MakeLabel(status, "lbTimeCorrection", "Time correction"),
        MakeCombo(status, "cbTimeCorrection", TimeCorrectionItems(), 0),
        SetButton(status, "btSetTime"));
  s.Add(MakeLabel(status, "lbDeviceVersion", "Firmware version:"),
        MakeLabel(status, "lbDeviceVersion1", ""));

  // Sensors and the pulse output.
  auto* right = new QWidget(page);
  auto* rl = new QVBoxLayout(right);
  rl->setContentsMargins(0, 0, 0, 0);
  QGroupBox* sensors = MakeGroup(right, "gbSensors", "Sensors");
  Rows r{GridIn(sensors)};
  r.g->setColumnMinimumWidth(0, 120);
  r.Add(MakeLabel(sensors, "lbTemperature1flow", "Temperature 1 (flow)"),
        ValueBox(sensors, "edTemperature1flow"));
  r.Add(MakeLabel(sensors, "lbTemperature2return", "Temperature 2 (return)"),
        ValueBox(sensors, "edTemperature2return"));
  r.Add(MakeLabel(sensors, "lbTemperatureDiff", "Temperature difference"),
        ValueBox(sensors, "edTemperatureDiff"));
  r.Add(MakeLabel(sensors, "lbFlow", "Flow"), ValueBox(sensors, "edFlow"));
  r.Add(MakeLabel(sensors, "lbPower", "Power"), ValueBox(sensors, "edPower"));
  r.Add(MakeLabel(sensors, "lbFlowrateqQp", "Nominal flow qp"),
        MakeCombo(sensors, "cbFlowrateqQp", NominalFlowItems(), 0));
  QGroupBox* pulse_out = MakeGroup(right, "gbPulseOutput", "Pulse output");
  Rows p{GridIn(pulse_out)};
  p.g->setColumnMinimumWidth(0, 120);
  QLineEdit* pov = MakeEdit(pulse_out, "edPulseOutputValue", kPlaceholder);
  p.Add(MakeLabel(pulse_out, "lbPulseOutputValue", "Pulse output value"), pov);
  rl->addWidget(sensors);
  rl->addWidget(pulse_out);
  rl->addStretch(1);

  lay->addWidget(counters, 10);
  lay->addWidget(status, 11);
  lay->addWidget(right, 11);
  return page;
}

QWidget* TfmTermuloConfig::BuildMenuTab() {
  auto* page = new QWidget;
  page->setObjectName("tbMeniu");
  auto* lay = new QVBoxLayout(page);
  lay->setContentsMargins(6, 6, 6, 6);
  // Group 1 in one column on the left; groups 2 and 3 one above the other, in three columns.
  auto* groups = new QHBoxLayout;
  groups->setSpacing(6);
  auto* right = new QVBoxLayout;
  right->setSpacing(4);
  const char* names[] = {"gbActual", "gbStatistics", "gbConfiguration"};
  const char* captions[] = {"Actual", "Statistics", "Configuration"};
  for (int g = 1; g <= 3; ++g) {
    QGroupBox* box = MakeGroup(page, names[g - 1], captions[g - 1]);
    auto* gl = new QGridLayout(box);
    gl->setContentsMargins(6, 4, 6, 4);
    gl->setVerticalSpacing(1);
    gl->setHorizontalSpacing(8);
    const QStringList items = MenuItemCaptions(g);
    const int rows = g == 1 ? 16 : 11;
    for (int i = 0; i < items.size(); ++i) {
      const int item = i + 1;
      QCheckBox* cb = MakeCheck(box, QString("checkBox%1_%2").arg(g).arg(item), items[i],
                                g == 1 && (item == 1 || item == 2 || item == 9));
      const bool disabled =
          (g == 1 && item >= 13) || (g == 2 && item >= 24 && item <= 30) || (g == 3 && item >= 23);
      cb->setEnabled(!disabled);
      gl->addWidget(cb, i % rows, i / rows);
    }
    if (g == 1) {
      groups->addWidget(box, 0);
    } else {
      right->addWidget(box);
    }
  }
  groups->addLayout(right, 1);
  lay->addLayout(groups, 1);
  // Lock boxes of the menu file; never shown.
  auto* hidden = new QWidget(page);
  hidden->setObjectName("pnMenuLocks");
  auto* hl = new QHBoxLayout(hidden);
  for (int i = 1; i <= 16; ++i) hl->addWidget(MakeCheck(hidden, QString("cb1_%1").arg(i), ""));
  hl->addWidget(MakeEdit(hidden, "edDefaultMenuConfigutarion", ""));
  for (QWidget* w : hidden->findChildren<QWidget*>()) w->hide();
  hidden->hide();
  lay->addWidget(hidden);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (auto [name, caption] : {std::pair{"btLoadMenu", "Load menu"},
                               {"BitBtn2", "Store Menu"},
                               {"btWriteUserMenu", "Write user menu"}}) {
    QPushButton* b = MakeButton(page, name, caption);
    b->setMinimumWidth(116);
    buttons->addWidget(b);
  }
  lay->addLayout(buttons);
  return page;
}

QWidget* TfmTermuloConfig::BuildConfigurationTab() {
  auto* page = new QWidget;
  page->setObjectName("tbMTR07configuration");
  auto* lay = new QGridLayout(page);
  lay->setContentsMargins(6, 6, 6, 6);
  lay->setSpacing(6);

  // Pulse channels 1 and 2.
  for (int ch = 1; ch <= 2; ++ch) {
    const QString n = QString::number(ch);
    QGroupBox* box = MakeGroup(page, "gbPulsChannel" + n, "Pulse channel " + n);
    auto* bl = new QVBoxLayout(box);
    bl->setContentsMargins(6, 4, 6, 6);
    bl->setSpacing(3);
    auto* dir = new QWidget(box);
    dir->setObjectName("pnPulseDirection" + n);
    auto* dl = new QHBoxLayout(dir);
    dl->setContentsMargins(0, 0, 0, 0);
    dl->addWidget(MakeRadio(dir, "PulseCfgRadioButton" + n + "in", "Input", true));
    dl->addWidget(MakeRadio(dir, "PulseCfgRadioButton" + n + "out", "Output"));
    dl->addStretch(1);
    bl->addWidget(dir);
    QGroupBox* src = MakeGroup(box, "gbOutputSourceX" + n, "Output source");
    auto* sl = new QGridLayout(src);
    sl->setContentsMargins(6, 2, 6, 4);
    sl->setVerticalSpacing(1);
    const std::pair<const char*, const char*> sources[] = {{"heating", "Heating energy"},
                                                           {"cooling", "Cooling energy"},
                                                           {"volume", "Medium volume"},
                                                           {"tarrif1", "Tarrif 1 energy"},
                                                           {"tarrif2", "Tarrif 2 energy"},
                                                           {"L1", "L1"},
                                                           {"L2", "L2"}};
    // heating, cooling, volume in the first column, L1 and L2 in the second; the tariff
    // sources are not offered.
    const int pos[7][2] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {0, 1}, {1, 1}};
    int i = 0;
    for (auto [suffix, caption] : sources) {
      QRadioButton* rb =
          MakeRadio(src, "PulseCfgRadioButton" + n + "out_" + suffix, caption, i == 0);
      if (QString(suffix).startsWith("tarrif")) rb->hide();
      sl->addWidget(rb, pos[i][0], pos[i][1]);
      ++i;
    }
    bl->addWidget(src);
    auto* vals = new QWidget(box);
    Rows v{GridIn(vals, 0)};
    v.Add(MakeLabel(vals, "lbpio_vif" + n, "Pulse unit:"),
          MakeCombo(vals, "pio_vif" + n, PulseVifDesignItems(), 0));
    v.Add(MakeLabel(vals, "lbPulseValuetextBox" + n, "Pulse value:"),
          MakeEdit(vals, "PulseValuetextBox" + n, kPlaceholder));
    // The pulse width fields exist for the image but are not offered to the user.
    QLineEdit* width = MakeEdit(vals, ch == 1 ? "textBoxP1D" : "edPulseWidth2", kPlaceholder);
    width->hide();
    v.g->addWidget(width, v.row, 1);
    bl->addWidget(vals);
    bl->addStretch(1);
    lay->addWidget(box, ch - 1, 0);
  }

  // Tariffs.
  QGroupBox* tariffs = MakeGroup(page, "gbTariffThresholds", "Tariffs");
  auto* tl = new QVBoxLayout(tariffs);
  tl->setContentsMargins(6, 4, 6, 6);
  tl->setSpacing(4);
  tl->addWidget(MakeCheck(tariffs, "checkBoxTarEn", "Tariff 1/2 enable"));
  QGroupBox* type1 = MakeGroup(tariffs, "gbTarifftype", "Tariff type");
  auto* t1 = new QGridLayout(type1);
  t1->setContentsMargins(6, 2, 6, 4);
  t1->setHorizontalSpacing(4);
  for (int k = 1; k <= 6; ++k) {
    const int col = (k - 1) % 3;
    const int row = (k - 1) / 3;
    QRadioButton* rb = MakeRadio(type1, QString("radioButtonTar1_%1").arg(k), "", k == 1);
    auto* cell = new QHBoxLayout;
    cell->setSpacing(2);
    cell->addWidget(rb);
    cell->addWidget(Picture(type1, QString("pictureBox%1").arg(k), TariffPicture(k)));
    if (k == 1 || k == 5 || k == 6) {
      QLabel* clock = Picture(type1, QString("pictureCllock1_%1").arg(k), ClockPicture());
      clock->hide();
      cell->addWidget(clock);
    }
    cell->addStretch(1);
    t1->addLayout(cell, row, col);
  }
  tl->addWidget(type1);
  auto* trig = new QWidget(tariffs);
  Rows tr{GridIn(trig, 0)};
  tr.g->setColumnMinimumWidth(0, 80);
  tr.Add(MakeLabel(trig, "lbcomboBoxTriger1", "Trigger 1:"),
         MakeCombo(trig, "comboBoxTriger1", TriggerItems(), 0));
  tr.Add(MakeLabel(trig, "lbThreshold1", "Threshold 1:"),
         MakeEdit(trig, "textBoxThreshold1", kPlaceholder));
  tr.Add(MakeLabel(trig, "lbcomboBoxTarSrc1", "Tariff 1 counter:"),
         MakeCombo(trig, "comboBoxTarSrc1", CounterItems(), 0));
  tr.Add(MakeLabel(trig, "lbcomboBoxTriger2", "Trigger 2:"),
         MakeCombo(trig, "comboBoxTriger2", TriggerItems(), 0));
  tr.Add(MakeLabel(trig, "lbtextBoxThreshold2", "Threshold 2:"),
         MakeEdit(trig, "textBoxThreshold2", kPlaceholder));
  tr.Add(MakeLabel(trig, "lbcomboBoxTarSrc2", "Tariff 2 counter:"),
         MakeCombo(trig, "comboBoxTarSrc2", CounterItems(), 1));
  tl->addWidget(trig);
  QGroupBox* type2 = MakeGroup(tariffs, "gbTarifftype2", "Tariff type 2");
  auto* t2 = new QHBoxLayout(type2);
  t2->setContentsMargins(6, 2, 6, 4);
  for (int k = 1; k <= 2; ++k) {
    t2->addWidget(MakeRadio(type2, QString("radioButtonTar2_%1").arg(k), "", k == 1));
    t2->addWidget(Picture(type2, QString("pictureBox%1").arg(6 + k), TariffPicture(6 + k)));
    QLabel* clock = Picture(type2, QString("pictureCllock2_%1").arg(k), ClockPicture());
    clock->hide();
    t2->addWidget(clock);
    t2->addSpacing(12);
  }
  t2->addStretch(1);
  tl->addWidget(type2);
  tl->addStretch(1);
  lay->addWidget(tariffs, 0, 1, 2, 1);

  // Reporting days, credits and the write button.
  auto* right = new QWidget(page);
  auto* rl = new QVBoxLayout(right);
  rl->setContentsMargins(0, 0, 0, 0);
  QGroupBox* archive = MakeGroup(right, "cbArchive", "Archive");
  Rows a{GridIn(archive)};
  a.Add(MakeLabel(archive, "lbnumericUpDown_yMonth", "Yearly set month:"),
        MakeSpin(archive, "numericUpDown_yMonth", 1, 12, 1));
  a.Add(MakeLabel(archive, "lbnumericUpDown_yDay", "Yearly set day:"),
        MakeSpin(archive, "numericUpDown_yDay", 1, 31, 1));
  a.Add(MakeLabel(archive, "lbnumericUpDown_mDay", "Monthly set day:"),
        MakeSpin(archive, "numericUpDown_mDay", 1, 31, 1));
  rl->addWidget(archive);
  QGroupBox* credits = MakeGroup(right, "gbDisableMBusCredits", "M-Bus credits");
  auto* cl = new QHBoxLayout(credits);
  cl->addWidget(MakeLabel(credits, "lbMBusCredits", "M-Bus credits:"));
  cl->addWidget(MakeRadio(credits, "cbMBusCreditsOn", "On", true));
  cl->addWidget(MakeRadio(credits, "cbMBusCreditsOff", "Off"));
  cl->addStretch(1);
  rl->addWidget(credits);
  rl->addStretch(1);
  QPushButton* write = MakeButton(right, "btWriteUserConfiguration", "Write user configuration");
  write->setMinimumHeight(28);
  rl->addWidget(write);
  lay->addWidget(right, 0, 2, 2, 1);
  lay->setColumnStretch(0, 10);
  lay->setColumnStretch(1, 12);
  lay->setColumnStretch(2, 9);
  return page;
}

QWidget* TfmTermuloConfig::BuildManufactureTab() {
  auto* page = new QWidget;
  page->setObjectName("tbVarme2");
  auto* lay = new QVBoxLayout(page);
  lay->setContentsMargins(6, 6, 6, 6);
  auto* top = new QHBoxLayout;
  top->addWidget(MakeLabel(page, "lbManufacture1", "Manufacturer code:"));
  QLineEdit* code = MakeEdit(page, "edManufacture1", "XXX");
  code->setMaxLength(3);
  code->setFixedWidth(50);
  top->addWidget(code);
  QLineEdit* mirror = MakeEdit(page, "edManufacture", "");
  mirror->setMaxLength(3);
  mirror->hide();
  top->addWidget(mirror);
  top->addStretch(1);
  lay->addLayout(top);

  auto* inner = new QTabWidget(page);
  inner->setObjectName("pcFloatrateTemepratures");
  lay->addWidget(inner, 1);

  // Flow calibration: the three grids side by side, tall enough for all their rows, so the
  // header row never scrolls away; coefficients, medium and the calculator buttons below.
  auto* flow = new QWidget;
  flow->setObjectName("tbFloatrate");
  auto* fl = new QGridLayout(flow);
  fl->setContentsMargins(4, 4, 4, 4);
  fl->setSpacing(6);
  auto fit = [](StringGrid* g, int col_width) {
    g->horizontalHeader()->setDefaultSectionSize(col_width);
    g->verticalHeader()->setDefaultSectionSize(16);
    g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g->setFixedSize(g->columnCount() * col_width + 2 * g->frameWidth(),
                    g->rowCount() * 16 + 2 * g->frameWidth());
  };
  StringGrid* q = MakeGrid(flow, "dataGridView_Q", 5, 18, 0, 1);
  StringGrid* qt = MakeGrid(flow, "dataGridView_Qt", 5, 18, 0, 1);
  fit(q, 64);
  fit(qt, 64);
  fl->addWidget(q, 0, 0, Qt::AlignTop);
  fl->addWidget(qt, 0, 1, Qt::AlignTop);
  QGroupBox* calc = MakeGroup(flow, "gbCalculator", "Calculator");
  auto* kl = new QVBoxLayout(calc);
  kl->setContentsMargins(4, 2, 4, 4);
  kl->setSpacing(3);
  StringGrid* cor = MakeGrid(calc, "dataGridViewCor", 3, 18, 0, 1);
  fit(cor, 56);
  cor->setColumnWidth(0, 62);
  cor->setFixedWidth(62 + 56 + 56 + 2 * cor->frameWidth());
  kl->addWidget(cor);
  auto* calc_buttons = new QHBoxLayout;
  calc_buttons->addWidget(MakeButton(calc, "btSet", "Set"));
  calc_buttons->addWidget(MakeButton(calc, "btCalculate", "Calculate"));
  kl->addLayout(calc_buttons);
  fl->addWidget(calc, 0, 2, Qt::AlignTop);

  auto* bottom = new QHBoxLayout;
  QGroupBox* scalars = MakeGroup(flow, "gbFlowCoefficients", "Coefficients");
  auto* sg = GridIn(scalars, 4);
  sg->setVerticalSpacing(2);
  const std::pair<const char*, const char*> fields[] = {
      {"textBoxQf", "Qf"},   {"textBoxQfT", "QfT"}, {"textBoxQz", "Qz"},
      {"textBoxQzT", "QzT"}, {"textBoxRE", "RE"},   {"textBoxRET", "RET"},
      {"textBoxT0", "T0"},   {"textBoxdTo", "dT0"}, {"textBoxN", "N"}};
  int i = 0;
  for (auto [name, caption] : fields) {
    const int col = (i / 3) * 2;
    QLabel* l = MakeLabel(scalars, QString("lb") + name, caption);
    l->setMinimumWidth(24);
    sg->addWidget(l, i % 3, col);
    QLineEdit* e = MakeEdit(scalars, name, kPlaceholder);
    e->setFixedWidth(76);
    sg->addWidget(e, i % 3, col + 1);
    ++i;
  }
  QGroupBox* times = MakeGroup(flow, "gbTransitTimes", "Transit times");
  auto* tt = GridIn(times, 4);
  tt->setVerticalSpacing(2);
  const std::pair<const char*, const char*> tof[] = {{"textBoxTOFsum", "Tup+Tdw (safe)"},
                                                     {"textBoxTup", "Tup"},
                                                     {"textBoxTdw", "Tdw"},
                                                     {"textBoxTdw_Tup", "Tdw-Tup"}};
  i = 0;
  for (auto [name, caption] : tof) {
    tt->addWidget(MakeLabel(times, QString("lb") + name, caption), i, 0);
    QLineEdit* e = MakeEdit(times, name, kPlaceholder, true);
    e->setFixedWidth(74);
    tt->addWidget(e, i, 1);
    ++i;
  }
  fl->addWidget(times, 1, 2, Qt::AlignTop);
  bottom->addWidget(scalars);
  QGroupBox* medium = MakeGroup(flow, "gbMedium", "Medium");
  auto* ml = new QGridLayout(medium);
  ml->setContentsMargins(4, 2, 4, 4);
  ml->setVerticalSpacing(1);
  ml->addWidget(MakeCombo(medium, "comboBoxMediumCFG", MediumItems(), 0), 0, 0, 1, 2);
  ml->addWidget(MakeRadio(medium, "radioButton_rhoT1", "Flow pipe (T1)", true), 1, 0);
  ml->addWidget(MakeRadio(medium, "radioButton_rhoT2", "Return pipe (T2)"), 2, 0);
  ml->addWidget(MakeCheck(medium, "checkBoxCFG_HEAT_ONLY", "HEATING ONLY"), 3, 0);
  auto* extr = new QWidget(medium);
  auto* el = new QVBoxLayout(extr);
  el->setContentsMargins(0, 0, 0, 0);
  el->addWidget(MakeRadio(extr, "flow_linear", "linear  extrapolation", true));
  el->addWidget(MakeRadio(extr, "flow_limited", "limited extrapolation"));
  ml->addWidget(extr, 1, 1, 3, 1);
  bottom->addWidget(medium, 1);
  fl->addLayout(bottom, 1, 0, 1, 2, Qt::AlignTop);
  fl->setRowStretch(2, 1);
  inner->addTab(flow, "Floatrate");

  // Temperature calibration.
  auto* temp = new QWidget;
  temp->setObjectName("tbTemperatures");
  auto* tl = new QHBoxLayout(temp);
  QGroupBox* sensors = MakeGroup(temp, "gbTemperatureSensors", "Sensors");
  Rows t{GridIn(sensors)};
  const std::pair<const char*, const char*> tfields[] = {{"textBoxR1lo", "R1lo:"},
                                                         {"textBoxR1hi", "R1hi:"},
                                                         {"textBoxR2lo", "R2lo:"},
                                                         {"textBoxR2hi", "R2hi:"},
                                                         {"textBoxT_DIFF_START", "dTstart:"},
                                                         {"textBoxT_DIFF_MIN", "dTmin:"},
                                                         {"textBoxT_DIFF_MAX", "dTmax:"},
                                                         {"textBoxTEMP_MIN", "Tmin:"},
                                                         {"textBoxTEMP_MAX", "Tmax:"}};
  for (auto [name, caption] : tfields) {
    QLineEdit* e = MakeEdit(sensors, name, kPlaceholder);
    e->setFixedWidth(110);
    t.Add(MakeLabel(sensors, QString("lb") + name, caption), e);
  }
  const char* ratios[] = {"textBoxRref1_R1", "textBoxR1_Rref1", "textBoxRref2_R1",
                          "textBoxR1_Rref2", "textBoxRref1_R2", "textBoxR2_Rref1",
                          "textBoxRref2_R2", "textBoxR2_Rref2"};
  for (const char* name : ratios) {
    QLineEdit* e = MakeEdit(sensors, name, kPlaceholder);
    e->setEnabled(false);
    e->hide();
    t.g->addWidget(e, t.row, 1);
  }
  QGroupBox* extr_t = MakeGroup(sensors, "gbTempExtrapolation", "Extrapolation");
  auto* xl = new QVBoxLayout(extr_t);
  xl->addWidget(MakeRadio(extr_t, "temp_linear", "linear  extrapolation", true));
  xl->addWidget(MakeRadio(extr_t, "temp_limited", "limited extrapolation"));
  extr_t->hide();
  t.g->addWidget(extr_t, t.row + 1, 0, 1, 2);
  t.g->setRowStretch(t.row + 2, 1);
  tl->addWidget(sensors);
  StringGrid* tg = MakeGrid(temp, "tempDataGridView", 3, 5, 0, 1);
  tg->horizontalHeader()->setDefaultSectionSize(130);
  tg->setFixedWidth(3 * 130 + 4);
  tg->setFixedHeight(5 * 17 + 4);
  tl->addWidget(tg, 0, Qt::AlignTop);
  tl->addStretch(1);
  inner->addTab(temp, "Temperatures");

  // Test parameters.
  auto* test = new QWidget;
  test->setObjectName("tbTestParameters");
  auto* xl2 = new QHBoxLayout(test);
  QTreeWidget* list =
      MakeCheckList(test, "lvTestParameters", TestParameterItems(), "Test parameters");
  list->setFixedWidth(260);
  xl2->addWidget(list);
  auto* tb = new QVBoxLayout;
  QPushButton* tm = MakeButton(test, "btTestModeWithoutChanging", "Test mode On/Off");
  QPushButton* tma = MakeButton(test, "btTestModeWithoutChangingForAll", "Test mode On/Off (all)");
  tb->addWidget(tm);
  tb->addWidget(tma);
  tb->addStretch(1);
  xl2->addLayout(tb);
  xl2->addStretch(1);
  inner->addTab(test, "Test parameters");
  return page;
}

QWidget* TfmTermuloConfig::BuildVarmeTab() {
  auto* page = new QWidget;
  page->setObjectName("tbVARME");
  auto* lay = new QHBoxLayout(page);
  lay->setContentsMargins(6, 6, 6, 6);

  QGroupBox* range = MakeGroup(page, "gbFlowRange", "Flow range and energy unit");
  auto* rl = new QVBoxLayout(range);
  auto* lists = new QWidget(range);
  Rows l{GridIn(lists, 0)};
  l.Add(MakeLabel(lists, "lbcomboBoxQP", "qp"),
        MakeCombo(lists, "comboBoxQP", NominalFlowItems(), 0));
  l.Add(MakeLabel(lists, "lbcomboBoxEnergyUnit", "energy unit"),
        MakeCombo(lists, "comboBoxEnergyUnit", EnergyUnitItems(), 1));
  l.Add(MakeLabel(lists, "lbDinamicRange", "Dinamic range"),
        MakeCombo(lists, "cbDinamicRange", DynamicRangeItems(), 0));
  rl->addWidget(lists);
  StringGrid* adv = MakeGrid(range, "dataGridView3", 2, 27, 1, 0);
  adv->horizontalHeader()->resizeSection(0, 170);
  adv->horizontalHeader()->resizeSection(1, 120);
  adv->verticalHeader()->setDefaultSectionSize(16);
  adv->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  adv->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  const QStringList labels = AdvancedGridLabels();
  for (int r = 0; r < labels.size(); ++r) adv->SetCellText(0, r, labels[r]);
  adv->setFixedSize(170 + 120 + 2 * adv->frameWidth(), 27 * 16 + 2 * adv->frameWidth());
  rl->addWidget(adv);
  rl->addStretch(1);
  lay->addWidget(range);

  auto* right = new QVBoxLayout;
  // The fixed header of the last data telegram.
  QGroupBox* header = MakeGroup(page, "gbDataHeader", "Data header");
  Rows h{GridIn(header)};
  for (auto [name, caption] : {std::pair{"edManufac", "Manufacturer:"},
                               {"edMedium", "Medium:"},
                               {"edDevVersion", "Version:"},
                               {"edAccNo", "Access number:"}}) {
    QLineEdit* e = MakeEdit(header, name, "", true);
    e->setFixedWidth(60);
    h.Add(MakeLabel(header, QString("lb") + (name + 2), caption), e);
  }
  h.Add(MakeLabel(header, "lbVersijaCaption", "Firmware version:"),
        MakeLabel(header, "lbVersija", ""));
  right->addWidget(header);
  QGroupBox* log = MakeGroup(page, "gbLoging", "Logging");
  Rows g{GridIn(log)};
  g.Add(MakeCheck(log, "cbLogingData", "Logging data"), nullptr);
  QLineEdit* secs = MakeEdit(log, "edLogingTime", "1");
  secs->setFixedWidth(60);
  g.Add(MakeLabel(log, "lbLogingTime", "Time, sec.:"), secs);
  g.Add(MakeCheck(log, "cbAlwaysSelectData", "Always select data", true), nullptr);
  g.Add(MakeButton(log, "btShowLog", "Show log"), nullptr);
  right->addWidget(log);

  QGroupBox* mem = MakeGroup(page, "cbMemoryMenagment", "Memory menagment");
  Rows m{GridIn(mem)};
  QLineEdit* a = MakeEdit(mem, "edAddr", "");
  m.Add(MakeLabel(mem, "lbAddr", "Address:"), a, MakeCheck(mem, "cbAddrHEX", "Addr HEX"));
  m.Add(MakeLabel(mem, "lbByte", "Bytes:"), MakeSpin(mem, "spByte", 1, 4, 1));
  m.Add(MakeLabel(mem, "lbValue", "Value:"), MakeEdit(mem, "edValue", ""),
        MakeCheck(mem, "cbDataHEX", "Data HEX"));
  auto* rw = new QHBoxLayout;
  rw->addWidget(MakeButton(mem, "btRead", "Read"));
  rw->addWidget(MakeButton(mem, "btWrite", "Write"));
  m.g->addLayout(rw, m.row, 0, 1, 3);
  right->addWidget(mem);

  // Service group: mode buttons and the production options a configuration save applies.
  QGroupBox* service = MakeGroup(page, "gbUnlookDevice", "Device service");
  Rows sv{GridIn(service)};
  sv.Add(MakeLabel(service, "lbManNumber", "Production number:"),
         MakeEdit(service, "edManNumber", ""),
         MakeButton(service, "btSetFabricationNumber", "Set"));
  sv.Add(MakeLabel(service, "lbMBusaddr", "M-Bus address:"), MakeEdit(service, "edMBusAddr", ""));
  sv.Add(MakeLabel(service, "lbMBusAddrType", "Address rule:"),
         MakeCombo(service, "cbMBusAddrType",
                   {"Typed address", "Always 0", "Always 1", "Fabrication number", "Typed address"},
                   0));
  sv.Add(MakeCheck(service, "cbManufactureReset", "Manufacture reset"), nullptr);
  QGroupBox* autoc = MakeGroup(service, "gbAutoConfiguration", "Auto configuration");
  Rows ac{GridIn(autoc)};
  ac.Add(MakeCheck(autoc, "cbImpuls_outpts_On_Off", "Impuls outpts On/Off:", true), nullptr);
  ac.Add(MakeLabel(autoc, "lbMeasuringTemperatures", "Measuring temperatures:"),
         MakeCombo(autoc, "cbMeasuringTemperatures", {"Off", "From TOFF", "With termpmeter"}, 0));
  ac.Add(MakeCheck(autoc, "cbLCDmask", "LCD mask:", true), nullptr);
  ac.Add(MakeCheck(autoc, "cbBatteryErrorOff", "Battery error On/off:", true), nullptr);
  ac.Add(MakeLabel(autoc, "lbBatteryLifeTime", "Battery life time:"),
         MakeCombo(autoc, "cbBatteryLifeTime", {"11 year", "15 year", "16 year"}, 0));
  ac.Add(MakeCheck(autoc, "cbReverseMeasuring", "Reverse measuring On/Off:", true), nullptr);
  ac.Add(MakeCheck(autoc, "cbSwicthLCD", "Switch LCD"), nullptr);
  ac.Add(MakeCheck(autoc, "cbScrollLCD", "Scroll LCD"), nullptr);
  sv.g->addWidget(autoc, sv.row, 0, 1, 3);
  service->hide();
  right->addWidget(service);
  right->addStretch(1);
  lay->addLayout(right, 1);
  lay->addStretch(1);
  return page;
}

QWidget* TfmTermuloConfig::BuildArchiveTab() {
  auto* page = new QWidget;
  page->setObjectName("tbArchive");
  auto* lay = new QHBoxLayout(page);
  lay->setContentsMargins(6, 6, 6, 6);
  auto* left = new QVBoxLayout;
  auto* bar = new QHBoxLayout;
  QComboBox* kinds = MakeCombo(page, "cbReadData", ReadDataItems(), 0);
  // Never narrower than its longest item ("Days statistic data").
  kinds->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  kinds->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
  bar->addWidget(kinds);
  bar->addWidget(MakeButton(page, "btReadData", "Read data"));
  bar->addWidget(MakeButton(page, "btStop", "Stop"));
  bar->addSpacing(10);
  bar->addWidget(MakeLabel(page, "lbRecordCount", "Record count:"));
  QLineEdit* count = MakeEdit(page, "edRecordCount", "0");
  count->setFixedWidth(50);
  bar->addWidget(count);
  bar->addWidget(MakeCheck(page, "cbAutoScroll", "Auto scroll", true));
  bar->addStretch(1);
  bar->addWidget(MakeButton(page, "btMakeReport", "Make report"));
  left->addLayout(bar);
  StringGrid* grid = MakeGrid(page, "sgArchive", 1, 1, 0, 0);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->verticalHeader()->setDefaultSectionSize(20);
  QPalette p = grid->palette();
  p.setColor(QPalette::Base, QColor(255, 251, 240));
  grid->setPalette(p);
  // The records' numbers carry the system's decimal separator.
  left->addWidget(GridWithChart(grid, [] { return SystemDecimalSeparator(); }), 1);
  auto* credits = new QHBoxLayout;
  QPushButton* cr = MakeButton(page, "btCredits", "Optical credits M-Bus credits");
  credits->addWidget(cr);
  for (const char* n : {"edOpticalCredits", "edMBusCredits"}) {
    QLineEdit* e = MakeEdit(page, n, kPlaceholder);
    e->setFixedWidth(80);
    credits->addWidget(e);
  }
  credits->addWidget(MakeLabel(page, "lbByteCredits", "Byte/Credits"));
  credits->addStretch(1);
  left->addLayout(credits);
  lay->addLayout(left, 1);
  QTreeWidget* params = MakeCheckList(page, "lvParamList", ArchiveQuantityCaptions(), "");
  // Wide enough for the longest caption; the rest of the row belongs to the archive bar.
  params->setColumnWidth(0, 222);
  params->setFixedWidth(244);
  lay->addWidget(params);
  return page;
}

}  // namespace nord5::ui
