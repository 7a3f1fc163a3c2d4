// Small pictures drawn at run time for the tool bar, the tariff types and the clock boxes.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace nord5::ui {

// Tariff type pictures 1 to 8: a step curve over a threshold line, one shape per type.
QPixmap TariffPicture(int type, int size = 28);
// A clock face, for tariffs switched by a time interval.
QPixmap ClockPicture(int size = 28);

}  // namespace nord5::ui
