// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsPage.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>

namespace settings_page {

QCheckBox* AddCheckBox(QFormLayout* form, const char* name, const char* caption, const char* hint) {
    auto* box = new QCheckBox(QString::fromUtf8(caption), form->parentWidget());
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(QString::fromUtf8(hint));
    form->addRow(box);
    return box;
}

QLineEdit* AddEdit(QFormLayout* form, const char* name, const char* caption, const char* placeholder) {
    auto* edit = new QLineEdit(form->parentWidget());
    edit->setObjectName(QString::fromLatin1(name));
    edit->setPlaceholderText(QString::fromUtf8(placeholder));
    form->addRow(QString::fromUtf8(caption), edit);
    return edit;
}

QVBoxLayout* ScrollingLayout(QWidget* page) {
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(scroll);
    auto* layout = new QVBoxLayout(content);
    scroll->setWidget(content);
    outer->addWidget(scroll);
    return layout;
}

void AddApplyRow(QBoxLayout* layout, QWidget* page, QPushButton*& apply, QLabel*& message) {
    auto* row = new QHBoxLayout;
    apply = new QPushButton(QStringLiteral("Apply"), page);
    apply->setObjectName(QStringLiteral("ApplyButton"));
    message = new QLabel(page);
    message->setObjectName(QStringLiteral("MessageLabel"));
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(apply, 0, Qt::AlignTop);
    row->addWidget(message, 1);
    layout->addLayout(row);
}

bool Refuse(QLabel* message, const std::string& why) {
    message->setStyleSheet(QStringLiteral("color: #b00000"));
    message->setText(QString::fromStdString(why));
    return false;
}

bool RefuseWrite(QLabel* message, const std::string& error) {
    Refuse(message, error);
    message->setText(QStringLiteral("Not applied: ") + message->text());
    return false;
}

void Accept(QLabel* message, bool changed) {
    message->setStyleSheet(QString());
    message->setText(changed ? QStringLiteral("Applied; in force from now on, and written to the settings file.")
                             : QStringLiteral("Nothing changed."));
}

}  // namespace settings_page
