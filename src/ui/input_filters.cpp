#include "ui/input_filters.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "model/value_codec.h"

namespace nord5::ui {

std::optional<QChar> FilterKey(KeyFilterKind kind, QChar c, const QString& text, bool hex) {
  // The filters work on the 8-bit keys of the meter tool; anything else is no allowed key.
  if (c.unicode() > 127) return std::nullopt;
  const char key = static_cast<char>(c.unicode());
  const std::string t = text.toStdString();
  char out = kKeyRejected;
  switch (kind) {
    case KeyFilterKind::Float:
      out = FloatKeyFilter(key, t);
      break;
    case KeyFilterKind::Grid:
      out = GridKeyFilter(key, t);
      break;
    case KeyFilterKind::AdvancedGrid:
      out = AdvancedGridKeyFilter(key, t);
      break;
    case KeyFilterKind::Integer:
      out = IntegerKeyFilter(key);
      break;
    case KeyFilterKind::Manufacturer:
      out = ManufacturerKeyFilter(key);
      break;
    case KeyFilterKind::HexOrDecimal: {
      // Raw memory boxes: upper case first, then digits, and A-F with the HEX box checked.
      const char u = (key >= 'a' && key <= 'z') ? static_cast<char>(key - 'a' + 'A') : key;
      if (u == kKeyBackspace || (u >= '0' && u <= '9') || (hex && u >= 'A' && u <= 'F')) out = u;
      break;
    }
  }
  if (out == kKeyRejected) return std::nullopt;
  return QChar(out);
}

KeyFilter::KeyFilter(KeyFilterKind kind, QObject* parent, std::function<bool()> hex)
    : QObject(parent), kind_(kind), hex_(std::move(hex)) {}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* k = static_cast<QKeyEvent*>(event);
  const Qt::KeyboardModifiers mods = k->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
  // Editing and navigation keys, and Ctrl combinations (Ctrl+A, Ctrl+C, Ctrl+V), pass.
  if (mods != Qt::NoModifier || k->text().isEmpty()) return false;
  const QChar typed = k->key() == Qt::Key_Backspace ? QChar(8) : k->text().at(0);
  if (typed == QChar(8) || typed == '\r' || typed == '\n' || typed == '\t' || typed == QChar(27))
    return false;
  auto* edit = qobject_cast<QLineEdit*>(watched);
  const QString text = edit ? edit->text() : QString();
  const auto out = FilterKey(kind_, typed, text, hex_ && hex_());
  if (!out) return true;  // dropped
  if (*out != typed && edit) {
    edit->insert(QString(*out));
    return true;
  }
  return false;
}

void InstallKeyFilter(QLineEdit* edit, KeyFilterKind kind, std::function<bool()> hex) {
  if (!edit) return;
  edit->installEventFilter(new KeyFilter(kind, edit, std::move(hex)));
}

QString ClampMBusAddress(const QString& text) {
  return QString::fromStdString(LimitPrimaryAddress(text.toStdString()));
}

bool AddressClamp::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease) {
    if (auto* e = qobject_cast<QLineEdit*>(watched)) {
      const QString clamped = ClampMBusAddress(e->text());
      // A user-like change: the field's change handler runs.
      if (clamped != e->text()) {
        e->selectAll();
        e->insert(clamped);
      }
    }
  }
  return false;
}

}  // namespace nord5::ui
