#include "ui/main_window_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace pellandrix::ui {

CWrapButton::CWrapButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setAccessibleName(OneLineCaption(caption));
}

void CWrapButton::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    // The style draws bevel and focus frame; the caption is drawn here so
    // that it may wrap, which the style's own label never does.
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    painter.drawItemText(area, Qt::AlignCenter | Qt::TextWordWrap, palette(), isEnabled(), caption,
                         QPalette::ButtonText);
}

QSize CWrapButton::CaptionSize() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const QRect text =
        fontMetrics().boundingRect(area, Qt::AlignCenter | Qt::TextWordWrap, option.text);
    return text.size() + (rect().size() - area.size());
}

QString OneLineCaption(const QString& caption) {
    QString line = caption;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line.simplified();
}

}  // namespace pellandrix::ui
