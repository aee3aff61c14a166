#include "ui/layout.h"

#include "ui/fonts.h"
#include "ui/twips.h"
#include "ui/windowless.h"

#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace moviecat {

namespace {

bool isWindowless(ControlKind kind)
{
    return kind == ControlKind::Label || kind == ControlKind::Image;
}

QObject *createControl(QWidget *form, const ControlEntry &spec, const LayoutFactories &factories)
{
    const QString text = spec.text ? QString::fromUtf16(spec.text) : QString();
    switch (spec.kind) {
    case ControlKind::Label: {
        auto *label = new WindowlessLabel(form);
        label->setCaption(text);
        label->setTransparent(spec.transparent);
        if (spec.foreColor)
            label->setForeColor(*spec.foreColor);
        if (spec.backColor)
            label->setBackColor(*spec.backColor);
        return label;
    }
    case ControlKind::Image: {
        auto *picture = new WindowlessPicture(form);
        picture->setPicture(QPixmap(text));
        picture->setStretch(spec.stretch);
        return picture;
    }
    case ControlKind::TextBox: {
        auto *edit = new QLineEdit(text, form);
        edit->setFrame(!spec.flat);
        if (spec.flat)
            edit->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid palette(dark); }"));
        if (spec.backColor) {
            QPalette pal = edit->palette();
            pal.setColor(QPalette::Base, resolveColor(*spec.backColor, pal));
            edit->setPalette(pal);
        }
        return edit;
    }
    case ControlKind::CommandButton:
        return new QPushButton(text, form);
    case ControlKind::ListBox:
        return new QListView(form);
    case ControlKind::Timer: {
        auto *timer = new QTimer(form);
        timer->setInterval(spec.interval);
        return timer;
    }
    case ControlKind::FolderView:
        Q_ASSERT(factories.folderView);
        return factories.folderView(form);
    }
    return nullptr;
}

} // namespace

void buildLayout(QWidget *form, std::span<const ControlEntry> table,
                 const LayoutFactories &factories)
{
    struct Built {
        const ControlEntry *spec;
        QWidget *widget;
        size_t order;
    };
    std::vector<Built> windowed;
    std::vector<Built> windowless;

    for (size_t order = 0; order < table.size(); ++order) {
        const ControlEntry &spec = table[order];
        QObject *object = createControl(form, spec, factories);
        object->setObjectName(QString::fromUtf16(spec.name));
        if (spec.kind == ControlKind::Timer) {
            if (spec.running)
                static_cast<QTimer *>(object)->start();
            continue;
        }
        auto *widget = static_cast<QWidget *>(object);
        widget->setGeometry(twipsRect(spec.left, spec.top, spec.width, spec.height));
        if (spec.fontFace)
            widget->setFont(
                layoutFont(QString::fromUtf16(spec.fontFace), spec.fontPoints, spec.bold));
        widget->setEnabled(!spec.disabled);
        widget->setVisible(!spec.hidden);
        (isWindowless(spec.kind) ? windowless : windowed).push_back({&spec, widget, order});
    }

    // Siblings stack in raise order: raise the back-most first, windowless before windowed,
    // so every windowed control ends above every windowless one.
    for (auto *group : {&windowless, &windowed})
        for (auto it = group->rbegin(); it != group->rend(); ++it)
            it->widget->raise();

    std::vector<Built> focusable;
    std::copy_if(windowed.begin(), windowed.end(), std::back_inserter(focusable),
                 [](const Built &b) { return b.spec->tabIndex >= 0; });
    std::sort(focusable.begin(), focusable.end(),
              [](const Built &a, const Built &b) { return a.spec->tabIndex < b.spec->tabIndex; });
    for (size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1].widget, focusable[i].widget);
}

} // namespace moviecat
