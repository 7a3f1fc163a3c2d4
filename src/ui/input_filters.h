// Typing filters of the window's fields: each typed character passes, is replaced, or is
// dropped. The decision is a pure function; KeyFilter applies it to a line edit or grid editor.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QLineEdit;

namespace nord5::ui {

enum class KeyFilterKind : std::uint8_t {
  Float = 0,         // calibration and pulse fields: digits, sign, exponent, one "."
  Grid = 1,          // calibration grid cells: as Float
  AdvancedGrid = 2,  // advanced grid cells: digits and one "." only
  Integer = 3,       // identity numbers: digits only
  Manufacturer = 4,  // three-letter manufacturer code: letters, made upper case
  HexOrDecimal = 5,  // raw memory boxes: digits, and A-F when the HEX box is checked
};

// The character to insert for `typed` into a field holding `text`, or nullopt to drop it.
// Control characters other than Backspace are dropped; Ctrl+A/C/V are handled by the caller.
std::optional<QChar> FilterKey(KeyFilterKind kind, QChar typed, const QString& text,
                               bool hex = false);

class KeyFilter : public QObject {
  Q_OBJECT
 public:
  KeyFilter(KeyFilterKind kind, QObject* parent, std::function<bool()> hex = {});
  KeyFilterKind kind() const { return kind_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  KeyFilterKind kind_;
  std::function<bool()> hex_;
};

// Installs `kind` on a line edit (the filter is owned by the edit).
void InstallKeyFilter(QLineEdit* edit, KeyFilterKind kind, std::function<bool()> hex = {});

// "Value range form 0 to 250": a number above 250 becomes 250 after a key release.
QString ClampMBusAddress(const QString& text);

// Applies ClampMBusAddress to its line edit after every key release.
class AddressClamp : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace nord5::ui
