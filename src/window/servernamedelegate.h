#pragma once

#include "web/serverdirectory.h"

#include <QStyledItemDelegate>

// Draws server names without the line feed that lists with CR LF line ends put at their
// start; the item itself keeps the name as it came.
class ServerNameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale&) const override {
        return displayedServerName(value.toString());
    }
};
