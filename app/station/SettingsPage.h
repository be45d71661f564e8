// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>

class QBoxLayout;
class QVBoxLayout;
class QCheckBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// What the station window's settings pages (Pointing, Rotator) have in common: their fields, the
// "Apply" row, and the line under it that says why entries were refused or that they were applied.
namespace settings_page {

QCheckBox* AddCheckBox(QFormLayout* form, const char* name, const char* caption, const char* hint);
// A one-line entry; placeholder shows the default or an example while it is empty.
QLineEdit* AddEdit(QFormLayout* form, const char* name, const char* caption, const char* placeholder);
// Makes the page's content scroll up and down rather than make the station window taller than the
// journal needs; gives the layout to fill (its parent widget is the content).
QVBoxLayout* ScrollingLayout(QWidget* page);
// The "Apply" button and the message line beside it, at the end of layout.
void AddApplyRow(QBoxLayout* layout, QWidget* page, QPushButton*& apply, QLabel*& message);

// Shows why the entries were refused; gives false.
bool Refuse(QLabel* message, const std::string& why);
// Shows that the settings file could not be written (the error's own text); gives false.
bool RefuseWrite(QLabel* message, const std::string& error);
// Shows that the entries were applied, and whether they changed anything.
void Accept(QLabel* message, bool changed);

}  // namespace settings_page
