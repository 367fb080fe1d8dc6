#pragma once

// What every window's layout must hold, whatever the rectangles: each control
// lies inside the window, no two controls overlap (a group box may frame
// controls, wholly), and every text fits its control by the font's metrics.
// The controls a group box holds are checked the same way inside it.

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QStringList>
#include <QStyle>
#include <QWidget>

namespace brindlewick::test {

// A label's or button's text as drawn: the "&" that marks a mnemonic is not
// shown, "&&" is one ampersand.
inline QString WithoutMnemonic(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
        }
        shown += text[i];
    }
    return shown;
}

// The width a control's text needs beside what the control draws around it.
inline int TextWidthNeeded(const QWidget& control, const QString& text) {
    const int advance = control.fontMetrics().horizontalAdvance(text);
    const QStyle& style = *control.style();
    if (qobject_cast<const QCheckBox*>(&control) != nullptr) {
        return advance + style.pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &control) +
               style.pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, &control);
    }
    if (qobject_cast<const QPushButton*>(&control) != nullptr) {
        return advance + style.pixelMetric(QStyle::PM_ButtonMargin, nullptr, &control);
    }
    return advance;
}

// One line per fault found; empty when the layout holds.
inline QStringList LayoutProblems(const QWidget& window) {
    QStringList problems;
    QList<const QWidget*> controls;
    for (const QWidget* child : window.findChildren<const QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow() && !child->isHidden()) {
            controls << child;
        }
    }
    const auto name = [](const QWidget* w) {
        return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                         : w->objectName();
    };
    const QRect inside = window.rect();
    for (const QWidget* control : controls) {
        if (!inside.contains(control->geometry())) {
            problems << name(control) + QStringLiteral(" reaches outside the window");
        }
        QString text;
        if (const auto* label = qobject_cast<const QLabel*>(control)) {
            text = label->buddy() != nullptr ? WithoutMnemonic(label->text()) : label->text();
            if (label->wordWrap() && label->heightForWidth(label->width()) > label->height()) {
                problems << name(control) + QStringLiteral(" wraps below its bottom");
            }
            if (label->wordWrap()) {
                text.clear();
            }
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
            text = WithoutMnemonic(button->text());
        } else if (const auto* group = qobject_cast<const QGroupBox*>(control)) {
            text = group->title();
        }
        if (!text.isEmpty()) {
            if (TextWidthNeeded(*control, text) > control->width()) {
                problems << name(control) + QStringLiteral(" clips its text");
            }
            if (control->fontMetrics().height() > control->height()) {
                problems << name(control) + QStringLiteral(" is lower than its text");
            }
        }
    }
    for (qsizetype i = 0; i < controls.size(); ++i) {
        for (qsizetype j = i + 1; j < controls.size(); ++j) {
            const QRect a = controls[i]->geometry();
            const QRect b = controls[j]->geometry();
            if (!a.intersects(b)) {
                continue;
            }
            const bool aFrames = qobject_cast<const QGroupBox*>(controls[i]) != nullptr;
            const bool bFrames = qobject_cast<const QGroupBox*>(controls[j]) != nullptr;
            if ((aFrames && !bFrames && a.contains(b)) || (bFrames && !aFrames && b.contains(a))) {
                continue;
            }
            problems << name(controls[i]) + QStringLiteral(" overlaps ") + name(controls[j]);
        }
    }
    for (const QWidget* control : controls) {
        if (qobject_cast<const QGroupBox*>(control) != nullptr) {
            problems << LayoutProblems(*control);
        }
    }
    return problems;
}

}  // namespace brindlewick::test
