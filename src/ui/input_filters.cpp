#include "ui/input_filters.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace nord5::ui {

std::optional<QChar> FilterKey(KeyFilterKind kind, QChar c, const QString& text, bool hex) {
  const bool backspace = c == QChar(8);
  switch (kind) {
    case KeyFilterKind::Float:
    case KeyFilterKind::Grid:
    case KeyFilterKind::AdvancedGrid: {
      if (c == ',' || c == '.') {
        if (text.contains('.')) return std::nullopt;
        return QChar('.');
      }
      if (backspace || (c >= '0' && c <= '9')) return c;
      if (kind != KeyFilterKind::AdvancedGrid &&
          (c == '+' || c == '-' || c == 'E' || c == 'e'))
        return c;
      return std::nullopt;
    }
    case KeyFilterKind::Integer:
      if (backspace || (c >= '0' && c <= '9')) return c;
      return std::nullopt;
    case KeyFilterKind::Manufacturer:
      if (c >= 'a' && c <= 'z') return c.toUpper();
      if (backspace || (c >= 'A' && c <= 'Z')) return c;
      return std::nullopt;
    case KeyFilterKind::HexOrDecimal: {
      const QChar u = (c >= 'a' && c <= 'z') ? c.toUpper() : c;
      if (backspace || (u >= '0' && u <= '9')) return u;
      if (hex && u >= 'A' && u <= 'F') return u;
      return std::nullopt;
    }
  }
  return std::nullopt;
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
  bool ok = false;
  const long long v = text.trimmed().toLongLong(&ok);
  if (ok && v > 250) return "250";
  return text;
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
