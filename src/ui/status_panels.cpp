#include "ui/status_panels.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QStyleOption>

namespace nord5::ui {
namespace {
constexpr std::array<int, 4> kWidths = {200, 180, 350, 50};
}

StatusPanels::StatusPanels(QWidget* parent) : QWidget(parent) {
  setObjectName("StatusBar");
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize StatusPanels::sizeHint() const { return {887, fontMetrics().height() + 8}; }

void StatusPanels::SetText(int panel, const QString& text) {
  if (panel < 0 || panel > 3 || texts_[panel] == text) return;
  texts_[panel] = text;
  update();
}

QString StatusPanels::Text(int panel) const {
  return panel >= 0 && panel <= 3 ? texts_[panel] : QString();
}

void StatusPanels::ProgressStart(int max) {
  in_progress_ = true;
  progress_ = 0;
  progress_max_ = max;
  update();
}

void StatusPanels::ProgressSet(int value) {
  progress_ = value;
  update();
}

void StatusPanels::ProgressOff() {
  in_progress_ = false;
  update();
}

QString StatusPanels::ShownText(int panel) const {
  if (panel < 0 || panel > 3) return {};
  const QString& t = texts_[panel];
  const int room = PanelRect(panel).width() - 6;
  const QFontMetrics fm = fontMetrics();
  if (fm.horizontalAdvance(t) <= room) return t;
  const int settings = panel == 3 ? static_cast<int>(t.lastIndexOf('[')) : -1;
  if (settings <= 0) return fm.elidedText(t, Qt::ElideRight, room);
  const QString tail = t.mid(settings);
  return fm.elidedText(t.left(settings), Qt::ElideMiddle,
                       std::max(0, room - fm.horizontalAdvance(tail))) +
         tail;
}

bool StatusPanels::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(e);
    for (int i = 0; i < 4; ++i) {
      if (!PanelRect(i).contains(help->pos())) continue;
      if (texts_[i].isEmpty() || (i == 1 && in_progress_)) break;
      QToolTip::showText(help->globalPos(), texts_[i], this, PanelRect(i));
      return true;
    }
    QToolTip::hideText();
    e->ignore();
    return true;
  }
  return QWidget::event(e);
}

QRect StatusPanels::PanelRect(int panel) const {
  int x = 0;
  for (int i = 0; i < panel; ++i) x += kWidths[i];
  const int w = panel == 3 ? std::max(kWidths[3], width() - x) : kWidths[panel];
  return QRect(x, 0, w, height()).adjusted(1, 2, -2, -1);
}

void StatusPanels::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette& pal = palette();
  for (int i = 0; i < 4; ++i) {
    const QRect r = PanelRect(i);
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    const QRect inner = r.adjusted(1, 1, 0, 0);
    if (i == 1 && in_progress_) {
      // A zero maximum draws nothing.
      if (progress_max_ <= 0) continue;
      const int done =
          static_cast<int>(static_cast<long long>(inner.width()) * progress_ / progress_max_);
      const QString pct =
          QString("%1%").arg(static_cast<long long>(progress_) * 100 / progress_max_);
      const QRect done_rect(inner.left(), inner.top(), std::clamp(done, 0, inner.width()),
                            inner.height());
      p.fillRect(inner, pal.color(QPalette::Window));
      p.fillRect(done_rect, pal.color(QPalette::Highlight));
      p.setPen(pal.color(QPalette::ButtonText));
      p.drawText(inner, Qt::AlignCenter, pct);
      p.save();
      p.setClipRect(done_rect);
      p.setPen(pal.color(QPalette::HighlightedText));
      p.drawText(inner, Qt::AlignCenter, pct);
      p.restore();
      continue;
    }
    p.setPen(pal.color(QPalette::WindowText));
    p.drawText(inner.adjusted(3, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, ShownText(i));
  }
}

}  // namespace nord5::ui
