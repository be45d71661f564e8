// SPDX-License-Identifier: GPL-3.0-or-later
#include "Unit4.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QValidator>

#include "CoreText.h"
#include "EventGuard.h"
#include "Fonts.h"
#include "FormStyle.h"
#include "IntegerText.h"
#include "Protocols.h"
#include "Unit3.h"

namespace Unit4 {
TForm4* Form4 = nullptr;
}

namespace {

// Letters appear as capitals as they are typed.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, QRect geometry, bool fixedsys) {
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    if (fixedsys) label->setFont(fonts::FixedsysFont());
    label->setGeometry(geometry);
    label->adjustSize();
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const char* text, QRect geometry) {
    auto* edit = new QLineEdit(QString::fromLatin1(text), parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(geometry);
    return edit;
}

QListWidget* MakeList(QWidget* parent, const char* name, QRect geometry) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setGeometry(geometry);
    list->setUniformItemSizes(true);
    return list;
}

// The rows are the rotator protocols of the axis, in the order of the protocol table.
void FillList(QListWidget* list, Protocols::Axis axis) {
    for (const Protocols::Protocol* protocol : Protocols::ProtocolsOf(axis)) {
        auto* item = new QListWidgetItem(core_text::ToQt(protocol->name), list);
        item->setSizeHint(QSize(0, 13));  // ItemHeight 13
    }
}

// A protocol of "none" hides the axis's port and offset fields and leaves their captions; one
// that goes through Hamlib hides the port with its "COM" caption, since its rotator is chosen in
// the [Hamlib] settings, and keeps the offset, which still applies.
void ApplyVisibilityRule(Protocols::Axis axis, const QLabel* protocol, QLabel* portCaption, QLineEdit* port,
                         QLineEdit* offset) {
    const bool used = protocol->text() != QLatin1String(Protocols::kNoRotator);
    const Protocols::Protocol* row = Protocols::FindProtocol(axis, core_text::ToCore(protocol->text()));
    const bool comPort = row == nullptr || row->UsesComPort();
    port->setVisible(used && comPort);
    portCaption->setVisible(comPort);
    offset->setVisible(used);
}

// The protocol label shows the row the user chose; with no row selected it keeps its text.
void ShowChosenRow(const QListWidget* list, QLabel* protocol) {
    const QList<QListWidgetItem*> chosen = list->selectedItems();
    if (chosen.isEmpty()) return;
    protocol->setText(chosen.front()->text());
    protocol->adjustSize();
}

int32_t FieldValue(const QLineEdit* edit) {
    return integer_text::StrToInt(core_text::ToCore(edit->text()));
}

}  // namespace

TForm4::TForm4(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Lunark - Setup"));
    form_style::ApplyFixedBorder(this, QSize(kClientWidth, kClientHeight));
    CreateControls();
    move(kDesignLeft, kDesignTop);
    setAttribute(Qt::WA_QuitOnClose, false);
    Guarded([this] { FormCreate(); });
}

void TForm4::CreateControls() {
    Label1 = MakeLabel(this, "Label1", "Locator", {8, 8, 56, 15}, true);
    Label2 = MakeLabel(this, "Label2", "Azimuth protocol", {64, 72, 128, 15}, true);
    Label3 = MakeLabel(this, "Label3", "COM", {8, 176, 24, 15}, true);
    Label4 = MakeLabel(this, "Label4", "Elevation protocol", {64, 216, 144, 15}, true);
    Label5 = MakeLabel(this, "Label5", "COM", {8, 320, 24, 15}, true);
    Label6 = MakeLabel(this, "Label6", "Offset", {72, 176, 48, 15}, true);
    Label7 = MakeLabel(this, "Label7", "Offset", {72, 320, 48, 15}, true);
    Label8 = MakeLabel(this, "Label8", "Label8", {64, 88, 32, 13}, false);
    Label9 = MakeLabel(this, "Label9", "Label9", {64, 232, 32, 13}, false);
    Label10 = MakeLabel(this, "Label10", "Interval cont. track", {8, 40, 160, 15}, true);
    Label11 = MakeLabel(this, "Label11", "min", {208, 40, 24, 15}, true);

    Edit1 = MakeEdit(this, "Edit1", "", {72, 8, 65, 21});
    Edit1->setValidator(new UpperCaseValidator(Edit1));
    Edit2 = MakeEdit(this, "Edit2", "Edit2", {40, 176, 25, 21});
    Edit3 = MakeEdit(this, "Edit3", "Edit3", {128, 176, 25, 21});
    Edit4 = MakeEdit(this, "Edit4", "Edit4", {40, 320, 25, 21});
    // A row is chosen when it becomes selected: by a click, the arrow keys or the program. A list
    // that takes the focus makes its first row current without selecting it; that is no choice.
    ListBox1 = MakeList(this, "ListBox1", {64, 112, 161, 49});
    connect(ListBox1, &QListWidget::itemSelectionChanged, this, [this] { Guarded([this] { ListBox1Click(); }); });
    ListBox2 = MakeList(this, "ListBox2", {64, 256, 161, 49});
    connect(ListBox2, &QListWidget::itemSelectionChanged, this, [this] { Guarded([this] { ListBox2Click(); }); });
    Edit5 = MakeEdit(this, "Edit5", "Edit5", {128, 320, 25, 21});
    Edit6 = MakeEdit(this, "Edit6", "Edit6", {176, 40, 25, 21});

    // Tab order follows TabOrder 0 to 7.
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, Edit4);
    setTabOrder(Edit4, ListBox1);
    setTabOrder(ListBox1, ListBox2);
    setTabOrder(ListBox2, Edit5);
    setTabOrder(Edit5, Edit6);
}

void TForm4::FormCreate() {
    Edit1->setText(core_text::ToQt(Unit3::Locator));
    Edit2->setText(QString::number(Unit3::AZ_COM_NR));
    Edit3->setText(QString::number(Unit3::AZoffset));
    Edit4->setText(QString::number(Unit3::EL_COM_NR));
    Edit5->setText(QString::number(Unit3::ELoffset));
    Edit6->setText(QString::number(Unit3::TrackInterval));
    FillList(ListBox1, Protocols::Axis::kAzimuth);
    FillList(ListBox2, Protocols::Axis::kElevation);
    ListBox1->setCurrentRow(-1);
    ListBox2->setCurrentRow(-1);
    Label8->setText(core_text::ToQt(Unit3::AZtype));
    Label8->adjustSize();
    Label9->setText(core_text::ToQt(Unit3::ELtype));
    Label9->adjustSize();
    ApplyVisibilityRule(Protocols::Axis::kAzimuth, Label8, Label3, Edit2, Edit3);
    ApplyVisibilityRule(Protocols::Axis::kElevation, Label9, Label5, Edit4, Edit5);
}

void TForm4::ListBox1Click() {
    ShowChosenRow(ListBox1, Label8);
    ApplyVisibilityRule(Protocols::Axis::kAzimuth, Label8, Label3, Edit2, Edit3);
}

void TForm4::ListBox2Click() {
    ShowChosenRow(ListBox2, Label9);
    ApplyVisibilityRule(Protocols::Axis::kElevation, Label9, Label5, Edit4, Edit5);
}

bool TForm4::FormClose() {
    return Guarded([this] {
        Unit3::Locator = core_text::ToCore(Edit1->text());
        Unit3::AZ_COM_NR = FieldValue(Edit2);
        Unit3::AZoffset = FieldValue(Edit3);
        Unit3::EL_COM_NR = FieldValue(Edit4);
        Unit3::ELoffset = FieldValue(Edit5);
        Unit3::TrackInterval = FieldValue(Edit6);
        Unit3::AZtype = core_text::ToCore(Label8->text());
        Unit3::ELtype = core_text::ToCore(Label9->text());
        Unit3::SaveSettings(Unit3::ExecutablePath, Unit3::kDefaultTop, Unit3::kDefaultLeft);
    });
}

void TForm4::closeEvent(QCloseEvent* event) {
    // A successful close hides the window; it lives until the program ends.
    if (FormClose()) {
        event->accept();
    } else {
        event->ignore();
    }
}
