#include "patient_window.h"

#include "common/program_state.h"
#include "data/data_module.h"
#include "patient_documents.h"
#include "patient_filters.h"
#include "patient_register.h"
#include "ui/db_grid.h"
#include "ui/db_navigator.h"
#include "ui/dialog_service.h"
#include "ui/error_display.h"
#include "ui/hint_button.h"
#include "word/view/document_view.h"
#include "word/view/marker_text_box.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

using patient::PatientCard;
using ui::guarded;
using ui::hintButton;

namespace {

const char* const kColumnProperty = "patientColumn";
// The patient text (1 anamnesis, 2 neurological status, 3 somatic status)
// that a double-click on the control opens in the text editor.
const char* const kTextKindProperty = "patientTextKind";

QLabel* caption(const QString& text, QWidget* parent, QWidget* buddy = nullptr)
{
    auto* l = new QLabel(text, parent);
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

QLineEdit* lineEdit(QWidget* parent, const QString& name, int maxLength = 0)
{
    auto* e = new QLineEdit(parent);
    e->setAccessibleName(name);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    return e;
}

// Three edits for a date: day, month, year, with the small captions above.
struct DateEdits {
    QLineEdit *day, *month, *year;
};

DateEdits dateEdits(QWidget* parent, QGridLayout* grid, int row, int column, const QString& name)
{
    static const QRegularExpression two(QStringLiteral("\\d{0,2}")), four(QStringLiteral("\\d{0,4}"));
    DateEdits d{lineEdit(parent, name + QStringLiteral(" дд"), 2), lineEdit(parent, name + QStringLiteral(" мм"), 2),
                lineEdit(parent, name + QStringLiteral(" гг"), 4)};
    d.day->setValidator(new QRegularExpressionValidator(two, d.day));
    d.month->setValidator(new QRegularExpressionValidator(two, d.month));
    d.year->setValidator(new QRegularExpressionValidator(four, d.year));
    auto* box = new QWidget(parent);
    auto* g = new QGridLayout(box);
    g->setContentsMargins(0, 0, 0, 0);
    g->setVerticalSpacing(0);
    const QStringList small = {QStringLiteral("дд"), QStringLiteral("мм"), QStringLiteral("гг")};
    const QList<QLineEdit*> edits = {d.day, d.month, d.year};
    for (int i = 0; i < 3; ++i) {
        auto* s = caption(small[i], box, edits[i]);
        QFont f = s->font();
        f.setPointSizeF(f.pointSizeF() * 0.8);
        s->setFont(f);
        g->addWidget(s, 0, i);
        g->addWidget(edits[i], 1, i);
        edits[i]->setFixedWidth(i == 2 ? 52 : 30);
    }
    grid->addWidget(caption(name, parent, d.day), row, column);
    grid->addWidget(box, row, column + 1);
    return d;
}

// A framed panel with two caption lines that acts on a click.
QPushButton* panel(QWidget* parent, const QString& line1, const QString& line2)
{
    auto* b = new QPushButton(line1 + u'\n' + line2, parent);
    b->setAccessibleName((line1 + line2).simplified());
    b->setMinimumHeight(44);
    return b;
}

void call(const std::function<void()>& f)
{
    if (f)
        f();
}

bool isInside(const QWidget* w, const QWidget* area)
{
    return w && (w == area || area->isAncestorOf(w));
}

} // namespace

TForm3::TForm3(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Пациент"), QSize(1280, 800), 3, QStringLiteral("Пациент: "), parent),
      dm_(dm), register_(std::make_unique<patient::PatientRegister>(dm)),
      documents_(std::make_unique<patient::PatientDocuments>(dm, *register_))
{
    setObjectName(QStringLiteral("TForm3"));
    c_.tabs = new QTabWidget(this);
    frameLayout()->addWidget(c_.tabs, 1);

    auto* page = new QWidget(c_.tabs);
    c_.tabs->addTab(page, QStringLiteral("Пациент"));
    c_.reportsTab = new QWidget(c_.tabs);
    c_.tabs->addTab(c_.reportsTab, QStringLiteral("Отчеты"));
    buildReportsTab();

    auto* split = new QSplitter(Qt::Horizontal, page);
    auto* pageLayout = new QHBoxLayout(page);
    pageLayout->setContentsMargins(2, 2, 2, 2);
    pageLayout->addWidget(split);
    auto* left = new QWidget(split);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    auto* right = new QWidget(split);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setSizes({830, 440});

    buildCard(left);
    buildTexts(left);
    buildFilterBand(right);
    c_.list = new ui::DBGrid(right);
    c_.list->setObjectName(QStringLiteral("patientList"));
    c_.list->setAccessibleName(QStringLiteral("Список пациентов"));
    c_.list->bind(dm_.pac_q1.get(), {{QStringLiteral("Palat"), QStringLiteral("Палата"), 60},
                                     {QStringLiteral("PName"), QStringLiteral("ФИО"), 180},
                                     {QStringLiteral("PdP"), QStringLiteral("Дата госпитализ"), 110}});
    rightLayout->addWidget(c_.list, 1);

    wire();
    wireReports();

    try {
        register_->RefreshPatientList();
    } catch (...) {
        // Reported, and the window is built all the same.
        ui::showGeneralError(std::current_exception());
    }
}

TForm3::~TForm3()
{
    // The controls go after this body; focus moves while they go must not
    // reach a window that is half gone.
    disconnect(qApp, nullptr, this, nullptr);
}

void TForm3::buildCard(QWidget* page)
{
    c_.cardBand = new QFrame(page);
    c_.cardBand->setObjectName(QStringLiteral("cardBand"));
    c_.cardBand->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(c_.cardBand);
    QWidget* band = c_.cardBand;

    auto named = [&](const QString& text, int row, int col, const char* column, int width = 0) {
        QLineEdit* e = lineEdit(band, text, 0);
        QLabel* l = caption(text, band, e);
        grid->addWidget(l, row, col);
        grid->addWidget(e, row, col + 1);
        if (width > 0)
            e->setFixedWidth(width);
        setMarkerColumn(e, column);
        setMarkerColumn(l, column);
        return e;
    };
    c_.surname = named(QStringLiteral("Фамилия"), 0, 0, "Pname_f");
    c_.firstName = named(QStringLiteral("Имя"), 0, 2, "Pname_n");
    c_.patronymic = named(QStringLiteral("Отчество"), 0, 4, "Pname_o");

    const DateEdits birth = dateEdits(band, grid, 1, 0, QStringLiteral("Дата  рождения"));
    c_.birthDay = birth.day;
    c_.birthMonth = birth.month;
    c_.birthYear = birth.year;
    auto* ageCaption = caption(QStringLiteral("Возраст"), band);
    grid->addWidget(ageCaption, 1, 2);
    c_.age = new QLabel(band);
    c_.age->setObjectName(QStringLiteral("ageLabel"));
    c_.age->setAccessibleName(QStringLiteral("Возраст"));
    grid->addWidget(c_.age, 1, 3);
    setMarkerColumn(ageCaption, "age");
    setMarkerColumn(c_.age, "age");

    static const QRegularExpression number(QStringLiteral("[+-]?\\d*"));
    c_.weight = named(QStringLiteral("Вес"), 1, 4, "Pves", 60);
    c_.weight->setToolTip(QStringLiteral("Вес пациента"));
    c_.weight->setValidator(new QRegularExpressionValidator(number, c_.weight));
    grid->addWidget(caption(QStringLiteral("кг"), band), 1, 6);

    c_.profession = named(QStringLiteral("Профессия"), 2, 0, "Pprof");
    auto* sex = new QGroupBox(QStringLiteral("Пол"), band);
    sex->setObjectName(QStringLiteral("sexGroup"));
    auto* sexLayout = new QHBoxLayout(sex);
    sexLayout->setContentsMargins(4, 0, 4, 0);
    c_.male = new QRadioButton(QStringLiteral("мужской "), sex);
    c_.female = new QRadioButton(QStringLiteral("женский"), sex);
    c_.male->setAccessibleName(QStringLiteral("мужской"));
    c_.female->setAccessibleName(QStringLiteral("женский"));
    sexLayout->addWidget(c_.male);
    sexLayout->addWidget(c_.female);
    auto* sexButtons = new QButtonGroup(sex);
    sexButtons->addButton(c_.male, 1);
    sexButtons->addButton(c_.female, 2);
    c_.male->setChecked(true);
    grid->addWidget(sex, 2, 2, 1, 4);
    for (QWidget* w : {static_cast<QWidget*>(sex), static_cast<QWidget*>(c_.male), static_cast<QWidget*>(c_.female)})
        setMarkerColumn(w, "Pmale");

    const DateEdits admission = dateEdits(band, grid, 3, 0, QStringLiteral("Дата поступл"));
    c_.admissionDay = admission.day;
    c_.admissionMonth = admission.month;
    c_.admissionYear = admission.year;
    const DateEdits discharge = dateEdits(band, grid, 3, 2, QStringLiteral("Дата выписки"));
    c_.dischargeDay = discharge.day;
    c_.dischargeMonth = discharge.month;
    c_.dischargeYear = discharge.year;
    for (QLineEdit* e : {c_.birthDay, c_.birthMonth, c_.birthYear})
        setMarkerColumn(e, "PdB");
    for (QLineEdit* e : {c_.admissionDay, c_.admissionMonth, c_.admissionYear})
        setMarkerColumn(e, "PdP");
    for (QLineEdit* e : {c_.dischargeDay, c_.dischargeMonth, c_.dischargeYear})
        setMarkerColumn(e, "PdV");

    c_.history = named(QStringLiteral("№ ИБ"), 4, 0, "Phist", 70);
    c_.ward = named(QStringLiteral("Палата"), 4, 2, "Palat", 50);
    for (QLineEdit* e : {c_.history, c_.ward})
        e->setValidator(new QRegularExpressionValidator(number, e));
    auto* stayCaption = caption(QStringLiteral("срок госпитализ"), band);
    grid->addWidget(stayCaption, 4, 4);
    c_.stay = new QLabel(band);
    c_.stay->setObjectName(QStringLiteral("stayLabel"));
    c_.stay->setAccessibleName(QStringLiteral("срок госпитализ"));
    grid->addWidget(c_.stay, 4, 5);
    setMarkerColumn(stayCaption, "stay");
    setMarkerColumn(c_.stay, "stay");

    auto* buttons = new QHBoxLayout;
    c_.create = hintButton(band, QStyle::SP_FileIcon, QStringLiteral("Создать новую запись"), "createPatient");
    c_.save = hintButton(band, QStyle::SP_DialogSaveButton, QStringLiteral("Сохранить изменения"), "savePatient");
    c_.remove = hintButton(band, QStyle::SP_TrashIcon, QStringLiteral("Удалить пациента"), "deletePatient");
    for (QToolButton* b : {c_.create, c_.save, c_.remove})
        buttons->addWidget(b);
    buttons->addWidget(errorReportButton());
    buttons->addSpacing(12);
    c_.treatment = panel(band, QStringLiteral("Исследования и "), QStringLiteral(" лечение"));
    c_.discharge = panel(band, QStringLiteral("Выписка "), QStringLiteral("( по умолчанию )"));
    buttons->addWidget(c_.treatment);
    buttons->addWidget(c_.discharge);
    buttons->addStretch();
    grid->addLayout(buttons, 5, 0, 1, 7);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(5, 1);

    page->layout()->addWidget(c_.cardBand);
}

void TForm3::buildTexts(QWidget* page)
{
    auto* texts = new QWidget(page);
    auto* grid = new QGridLayout(texts);
    grid->setContentsMargins(0, 0, 0, 0);
    struct Text {
        QPlainTextEdit** memo;
        QString line1, line2;
        const char* column;
    };
    const std::vector<Text> all = {
        {&c_.diagnosisClinical, QStringLiteral("Диагноз"), QStringLiteral("клинический"), "PdiaK"},
        {&c_.diagnosisConcomitant, QStringLiteral("Диагноз"), QStringLiteral("сопутствующий"), "PdiaV"},
        {&c_.complaints, QStringLiteral("Жалобы"), QString(), "Pjal"},
        {&c_.anamnesis, QStringLiteral("Ананмнез"), QString(), "PanM"},
        {&c_.somaticStatus, QStringLiteral("Соматич"), QStringLiteral("статус"), "Psomat"},
        {&c_.neuroStatus, QStringLiteral("Неврологич"), QStringLiteral("статус"), "Pnst"},
    };
    int row = 0;
    for (const Text& t : all) {
        auto* memo = new QPlainTextEdit(texts);
        *t.memo = memo;
        const QString name = t.line2.isEmpty() ? t.line1 : t.line1 + u' ' + t.line2;
        memo->setAccessibleName(name);
        memo->setTabChangesFocus(true); // the card is typed through without the mouse
        auto* side = new QWidget(texts);
        auto* sideLayout = new QVBoxLayout(side);
        sideLayout->setContentsMargins(0, 0, 0, 0);
        auto* label = caption(t.line2.isEmpty() ? t.line1 : t.line1 + u'\n' + t.line2, side, memo);
        label->setAccessibleName(name);
        sideLayout->addWidget(label);
        setMarkerColumn(memo, t.column);
        setMarkerColumn(label, t.column);
        const int kind = memo == c_.anamnesis ? 1 : memo == c_.neuroStatus ? 2 : memo == c_.somaticStatus ? 3 : 0;
        if (kind) {
            memo->setProperty(kTextKindProperty, kind);
            memo->viewport()->setProperty(kTextKindProperty, kind);
            memo->viewport()->installEventFilter(this);
        }
        if (kind == 2) {
            label->setProperty(kTextKindProperty, kind);
            label->installEventFilter(this);
        }
        if (kind == 1) {
            c_.anamnesisCaption = label;
            label->installEventFilter(this);
        }
        if (memo == c_.anamnesis) {
            c_.editAnamnesis = new QPushButton(QStringLiteral("редактировать"), side);
            c_.editAnamnesis->setAccessibleName(QStringLiteral("редактировать"));
            setMarkerColumn(c_.editAnamnesis, "PanM");
            sideLayout->addWidget(c_.editAnamnesis);
            memo->setReadOnly(true);
        }
        if (memo == c_.somaticStatus || memo == c_.neuroStatus) {
            memo->setToolTip(QStringLiteral("Показать доступные шаблоны"));
            label->setToolTip(QStringLiteral("Показать доступные шаблоны"));
        }
        sideLayout->addStretch();
        side->setFixedWidth(100);
        grid->addWidget(side, row, 0);
        grid->addWidget(memo, row, 1);
        grid->setRowStretch(row, memo == c_.diagnosisClinical || memo == c_.diagnosisConcomitant ? 1 : 2);
        ++row;
    }
    page->layout()->addWidget(texts);
    static_cast<QVBoxLayout*>(page->layout())->setStretch(1, 1);
}

void TForm3::buildFilterBand(QWidget* page)
{
    auto* band = new QFrame(page);
    band->setObjectName(QStringLiteral("filterBand"));
    band->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(band);
    auto* top = new QHBoxLayout;
    auto* choice = new QVBoxLayout;
    c_.notDischarged = new QRadioButton(QStringLiteral("показать не выписанных"), band);
    c_.all = new QRadioButton(QStringLiteral("показать ВСЕХ"), band);
    c_.all->setChecked(true);
    c_.extraFilters = new QCheckBox(QStringLiteral("Дополнительные фильтры"), band);
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{c_.notDischarged, c_.all, c_.extraFilters}) {
        b->setAccessibleName(b->text());
        choice->addWidget(b);
    }
    top->addLayout(choice);
    top->addStretch();
    auto* foundBox = new QVBoxLayout;
    auto* foundCaption = new QLabel(QStringLiteral("найдено"), band);
    c_.found = new QLabel(QStringLiteral("0"), band);
    c_.found->setObjectName(QStringLiteral("foundCount"));
    c_.found->setToolTip(QStringLiteral("число совпаднений согласно критериям поиска"));
    c_.found->setAccessibleName(QStringLiteral("найдено"));
    QFont big = c_.found->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    c_.found->setFont(big);
    c_.found->setStyleSheet(QStringLiteral("color: maroon"));
    foundBox->addWidget(foundCaption);
    foundBox->addWidget(c_.found);
    top->addLayout(foundBox);
    layout->addLayout(top);

    c_.extraPanel = new QFrame(band);
    c_.extraPanel->setObjectName(QStringLiteral("extraFilterPanel"));
    auto* g = new QGridLayout(c_.extraPanel);
    g->setContentsMargins(0, 0, 0, 0);
    auto check = [&](const QString& text) {
        auto* b = new QCheckBox(text, c_.extraPanel);
        b->setAccessibleName(text);
        return b;
    };
    static const QRegularExpression digits(QStringLiteral("\\d{0,9}"));
    auto edit = [&](const QString& name, int width) {
        QLineEdit* e = lineEdit(c_.extraPanel, name);
        if (width > 0)
            e->setFixedWidth(width);
        return e;
    };
    c_.wordOn = check(QStringLiteral("Слово в диагнозе"));
    c_.word = edit(QStringLiteral("Слово в диагнозе"), 0);
    g->addWidget(c_.wordOn, 0, 0);
    g->addWidget(c_.word, 0, 1, 1, 4);

    c_.dateOn = check(QStringLiteral("Дата поступл."));
    c_.filterDay = edit(QStringLiteral("Дата поступл. дд"), 30);
    c_.filterMonth = edit(QStringLiteral("Дата поступл. мм"), 30);
    c_.filterYear = edit(QStringLiteral("Дата поступл. гг"), 52);
    // The filter's date stands for the discharge date in a template.
    for (QLineEdit* e : {c_.filterDay, c_.filterMonth, c_.filterYear})
        setMarkerColumn(e, "PdV");
    g->addWidget(c_.dateOn, 1, 0);
    g->addWidget(c_.filterDay, 1, 1);
    g->addWidget(c_.filterMonth, 1, 2);
    g->addWidget(c_.filterYear, 1, 3);

    c_.ageOn = check(QStringLiteral("возраст (лет)"));
    c_.ageFrom = edit(QStringLiteral("возраст от"), 50);
    c_.ageFrom->setText(QStringLiteral("0"));
    c_.ageTo = edit(QStringLiteral("возраст до"), 50);
    g->addWidget(c_.ageOn, 2, 0);
    g->addWidget(caption(QStringLiteral("от"), c_.extraPanel, c_.ageFrom), 2, 1);
    g->addWidget(c_.ageFrom, 2, 2);
    g->addWidget(caption(QStringLiteral("до"), c_.extraPanel, c_.ageTo), 2, 3);
    g->addWidget(c_.ageTo, 2, 4);

    c_.historyOn = check(QStringLiteral("№ истории"));
    c_.historyFrom = edit(QStringLiteral("№ истории от"), 50);
    c_.historyTo = edit(QStringLiteral("№ истории до"), 50);
    g->addWidget(c_.historyOn, 3, 0);
    g->addWidget(caption(QStringLiteral("от"), c_.extraPanel, c_.historyFrom), 3, 1);
    g->addWidget(c_.historyFrom, 3, 2);
    g->addWidget(caption(QStringLiteral("до"), c_.extraPanel, c_.historyTo), 3, 3);
    g->addWidget(c_.historyTo, 3, 4);

    c_.wholeDatabase = check(QStringLiteral("глобальный поиск по базе"));
    g->addWidget(c_.wholeDatabase, 4, 0, 1, 3);
    c_.applyFilters = hintButton(c_.extraPanel, QStyle::SP_DialogApplyButton, QStringLiteral("Включить фильтр!"), "applyFilters");
    g->addWidget(c_.applyFilters, 4, 4);
    g->setColumnStretch(5, 1);
    c_.extraPanel->hide();
    layout->addWidget(c_.extraPanel);
    page->layout()->addWidget(band);
}

void TForm3::setMarkerColumn(QWidget* w, const char* column)
{
    w->setProperty(kColumnProperty, QString::fromLatin1(column));
    w->installEventFilter(this);
    // A click on a memo's text reaches its viewport, not the memo.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
        area->viewport()->setProperty(kColumnProperty, QString::fromLatin1(column));
        area->viewport()->installEventFilter(this);
    }
}

void TForm3::wire()
{
    patient::PatientRegister& reg = *register_;
    reg.readCard = [this] { return cardFromControls(); };
    connect(&reg, &patient::PatientRegister::cardLoaded, this, &TForm3::showCard);
    connect(&reg, &patient::PatientRegister::foundCountChanged, this,
            [this](int n) { c_.found->setText(QString::number(n)); });
    connect(&reg, &patient::PatientRegister::extraFiltersDropped, this, [this] {
        const QSignalBlocker block(c_.extraFilters);
        c_.extraFilters->setChecked(false);
        clearExtraFilters();
    });

    // What the doctor types marks the card as changed.
    auto edited = [this] {
        if (!showing_)
            register_->setCardEdited();
    };
    for (QLineEdit* e : {c_.surname, c_.firstName, c_.patronymic, c_.birthDay, c_.birthMonth, c_.birthYear, c_.weight,
                         c_.profession, c_.admissionDay, c_.admissionMonth, c_.admissionYear, c_.dischargeDay,
                         c_.dischargeMonth, c_.dischargeYear, c_.history, c_.ward}) {
        connect(e, &QLineEdit::textEdited, this, edited);
        // Enter moves on, as Tab does.
        connect(e, &QLineEdit::returnPressed, this, [this] { focusNextChild(); });
    }
    for (QRadioButton* r : {c_.male, c_.female})
        connect(r, &QRadioButton::clicked, this, edited);
    for (QPlainTextEdit* m : {c_.diagnosisClinical, c_.diagnosisConcomitant, c_.complaints, c_.anamnesis,
                              c_.somaticStatus, c_.neuroStatus}) {
        connect(m, &QPlainTextEdit::textChanged, this, edited);
        m->installEventFilter(this);
    }
    c_.birthYear->installEventFilter(this);
    c_.admissionYear->installEventFilter(this);
    c_.male->parentWidget()->installEventFilter(this);
    c_.list->installEventFilter(this);

    connect(c_.create, &QToolButton::clicked, this, guarded([this] { register_->CreatePatient(); }));
    connect(c_.save, &QToolButton::clicked, this, guarded([this] { register_->SavePatientCard(); }));
    connect(c_.remove, &QToolButton::clicked, this, guarded([this] { register_->DeletePatient(); }));
    connect(c_.treatment, &QPushButton::clicked, this, guarded([this] { call(links.openTreatment); }));
    connect(c_.discharge, &QPushButton::clicked, this, guarded([this] { StartDefaultDischarge(); }));
    connect(c_.editAnamnesis, &QPushButton::clicked, this, guarded([this] {
        if (links.editPatientText)
            links.editPatientText(1);
    }));
    auto* saveKey = new QShortcut(QKeySequence::Save, this);
    connect(saveKey, &QShortcut::activated, this, guarded([this] { register_->SavePatientCard(); }));
    auto* newKey = new QShortcut(QKeySequence::New, this);
    connect(newKey, &QShortcut::activated, this, guarded([this] { register_->CreatePatient(); }));

    // The filter band.
    connect(c_.notDischarged, &QRadioButton::toggled, this, guarded([this](bool on) {
        if (!on)
            return;
        register_->filters().SaveListStatement();
        register_->filters().ShowNotDischarged();
    }));
    connect(c_.all, &QRadioButton::toggled, this, guarded([this](bool on) {
        if (on)
            register_->filters().RestoreListStatement();
    }));
    connect(c_.extraFilters, &QCheckBox::toggled, this, guarded([this](bool on) { extraFiltersToggled(on); }));
    connect(c_.applyFilters, &QToolButton::clicked, this, guarded([this] { applyExtraFilters(); }));
    connect(c_.list, &ui::DBGrid::titleClicked, this,
            guarded([this](int, const QString& field) { register_->filters().SortByColumn(field); }));

    // Tab goes down the card, then through the texts.
    const QList<QWidget*> order = {c_.surname, c_.firstName, c_.patronymic, c_.birthDay, c_.birthMonth, c_.birthYear,
                                   c_.weight, c_.profession, c_.male, c_.female, c_.admissionDay, c_.admissionMonth,
                                   c_.admissionYear, c_.dischargeDay, c_.dischargeMonth, c_.dischargeYear, c_.history,
                                   c_.ward, c_.diagnosisClinical, c_.diagnosisConcomitant, c_.complaints,
                                   c_.anamnesis, c_.somaticStatus, c_.neuroStatus};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    // Leaving the card band stores a changed card.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* from, QWidget* to) { focusMoved(from, to); });
}

void TForm3::focusMoved(QWidget* from, QWidget* to)
{
    if (!to || to->window() != this || !isInside(from, c_.cardBand) || isInside(to, c_.cardBand))
        return;
    if (!register_->cardEdited())
        return;
    guarded([this] { register_->SavePatientCard(); })();
}

bool TForm3::eventFilter(QObject* watched, QEvent* event)
{
    auto* w = qobject_cast<QWidget*>(watched);
    // A right-click in the designer's insertion mode inserts the control's marker.
    if (event->type() == QEvent::MouseButtonPress && w && w->property(kColumnProperty).isValid() &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton && programSwitches().MarkerInsertion) {
        if (links.insertFieldMarker)
            guarded([&] { links.insertFieldMarker(w->property(kColumnProperty).toString()); })();
        return true;
    }
    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        const bool moved = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                           reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason ||
                           reason == Qt::OtherFocusReason;
        if (watched == c_.birthYear && moved && !showing_)
            QMetaObject::invokeMethod(this, [this] { birthYearLeft(); }, Qt::QueuedConnection);
        else if (watched == c_.admissionYear && moved && !showing_)
            guarded([this] { autoFillTexts(); })();
        else if (watched == c_.male->parentWidget() && moved && !register_->textsTouched())
            guarded([this] { autoFillTexts(); })();
        else if (qobject_cast<QPlainTextEdit*>(watched) && moved)
            register_->setTextsTouched();
    }
    // A double-click on a patient text opens it in the text editor; a click
    // on the anamnesis caption shows the stored anamnesis document's text.
    if (event->type() == QEvent::MouseButtonDblClick && w && w->property(kTextKindProperty).isValid()) {
        const int kind = w->property(kTextKindProperty).toInt();
        guarded([this, kind] {
            if (links.editPatientText)
                links.editPatientText(kind);
        })();
        return true;
    }
    if (watched == c_.anamnesisCaption && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        guarded([this] {
            if (!links.anamnesisText)
                return;
            if (const auto text = links.anamnesisText())
                c_.anamnesis->setPlainText(*text);
        })();
    }
    if (watched == c_.defaultTemplate && event->type() == QEvent::FocusOut)
        guarded([this] { documents_->SetDefaultTemplateFlag(c_.defaultTemplate->isChecked()); })();
    if (watched == c_.list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        guarded([this] { register_->DeletePatient(); })();
        return true;
    }
    return ui::WorkstationWindow::eventFilter(watched, event);
}

void TForm3::birthYearLeft()
{
    if (!IsValidDateParts(c_.birthDay->text(), c_.birthMonth->text(), c_.birthYear->text())) {
        dialogs().notice(QStringLiteral("некорректные данные в поле дата рождения !"));
        c_.birthYear->setFocus(Qt::OtherFocusReason);
        return;
    }
    guarded([this] {
        const QDate birth = DateFromParts(c_.birthDay->text(), c_.birthMonth->text(), c_.birthYear->text());
        c_.age->setText(AgeText(QDate::currentDate(), birth));
        if (!register_->textsTouched())
            autoFillTexts();
    })();
}

void TForm3::autoFillTexts()
{
    if (!links.autoFillTexts)
        return;
    const std::optional<patient::FilledTexts> filled = links.autoFillTexts(cardFromControls());
    if (!filled)
        return;
    c_.age->setText(filled->age);
    // Only a text that changes is set: the card counts as edited then.
    for (auto [memo, text] : {std::pair{c_.anamnesis, &filled->anamnesis}, std::pair{c_.neuroStatus, &filled->neuroStatus},
                              std::pair{c_.somaticStatus, &filled->somaticStatus}})
        if (memo->toPlainText() != *text)
            memo->setPlainText(*text);
}

void TForm3::showCard(const PatientCard& card, const QString& age, const QString& stay)
{
    showing_ = true;
    auto parts = [](const DateParts& p, QLineEdit* d, QLineEdit* m, QLineEdit* y) {
        d->setText(p.day);
        m->setText(p.month);
        y->setText(p.year);
    };
    c_.surname->setText(card.surname);
    c_.firstName->setText(card.firstName);
    c_.patronymic->setText(card.patronymic);
    parts(card.birth, c_.birthDay, c_.birthMonth, c_.birthYear);
    c_.age->setText(age);
    c_.weight->setText(card.weight);
    c_.profession->setText(card.profession);
    (card.sex == 2 ? c_.female : c_.male)->setChecked(true);
    parts(card.admission, c_.admissionDay, c_.admissionMonth, c_.admissionYear);
    parts(card.discharge, c_.dischargeDay, c_.dischargeMonth, c_.dischargeYear);
    c_.history->setText(card.history);
    c_.ward->setText(card.ward);
    c_.stay->setText(stay);
    c_.diagnosisClinical->setPlainText(card.diagnosisClinical);
    c_.diagnosisConcomitant->setPlainText(card.diagnosisConcomitant);
    c_.complaints->setPlainText(card.complaints);
    c_.anamnesis->setPlainText(card.anamnesis);
    c_.somaticStatus->setPlainText(card.somaticStatus);
    c_.neuroStatus->setPlainText(card.neuroStatus);
    for (QLineEdit* e : findChildren<QLineEdit*>())
        if (isInside(e, c_.cardBand))
            e->setCursorPosition(0);
    showing_ = false;
}

PatientCard TForm3::cardFromControls() const
{
    PatientCard card;
    card.surname = c_.surname->text();
    card.firstName = c_.firstName->text();
    card.patronymic = c_.patronymic->text();
    card.birth = {c_.birthDay->text(), c_.birthMonth->text(), c_.birthYear->text()};
    card.weight = c_.weight->text();
    card.profession = c_.profession->text();
    card.sex = c_.female->isChecked() ? 2 : 1;
    card.admission = {c_.admissionDay->text(), c_.admissionMonth->text(), c_.admissionYear->text()};
    card.discharge = {c_.dischargeDay->text(), c_.dischargeMonth->text(), c_.dischargeYear->text()};
    card.history = c_.history->text();
    card.ward = c_.ward->text();
    card.diagnosisClinical = c_.diagnosisClinical->toPlainText();
    card.diagnosisConcomitant = c_.diagnosisConcomitant->toPlainText();
    card.complaints = c_.complaints->toPlainText();
    card.anamnesis = c_.anamnesis->toPlainText();
    card.somaticStatus = c_.somaticStatus->toPlainText();
    card.neuroStatus = c_.neuroStatus->toPlainText();
    return card;
}

void TForm3::extraFiltersToggled(bool on)
{
    c_.extraPanel->setVisible(on);
    if (!on)
        clearExtraFilters();
    register_->filters().ExtraFiltersShown(on);
}

void TForm3::clearExtraFilters()
{
    for (QCheckBox* b : {c_.wordOn, c_.dateOn, c_.ageOn, c_.historyOn, c_.wholeDatabase})
        b->setChecked(false);
    for (QLineEdit* e : {c_.word, c_.filterDay, c_.filterMonth, c_.filterYear, c_.ageFrom, c_.ageTo, c_.historyFrom,
                         c_.historyTo}) {
        e->clear();
        e->setStyleSheet(QString());
    }
    c_.extraPanel->setVisible(c_.extraFilters->isChecked());
}

void TForm3::applyExtraFilters()
{
    patient::ExtraFilterInput in;
    in.wordOn = c_.wordOn->isChecked();
    in.word = c_.word->text();
    in.dateOn = c_.dateOn->isChecked();
    in.day = c_.filterDay->text();
    in.month = c_.filterMonth->text();
    in.year = c_.filterYear->text();
    in.ageOn = c_.ageOn->isChecked();
    in.ageFrom = c_.ageFrom->text();
    in.ageTo = c_.ageTo->text();
    in.historyOn = c_.historyOn->isChecked();
    in.historyFrom = c_.historyFrom->text();
    in.historyTo = c_.historyTo->text();
    in.wholeDatabase = c_.wholeDatabase->isChecked();
    for (QLineEdit* e : {c_.ageFrom, c_.ageTo, c_.historyFrom, c_.historyTo})
        e->setStyleSheet(QString());
    const patient::ExtraFilterValues v = register_->filters().ApplyExtraFilters(in);
    if (v.clearDateCheck)
        c_.dateOn->setChecked(false);
    const QString red = QStringLiteral("color: red");
    const std::pair<QLineEdit*, bool> bad[] = {
        {c_.ageFrom, v.badAgeFrom}, {c_.ageTo, v.badAgeTo}, {c_.historyFrom, v.badHistoryFrom}, {c_.historyTo, v.badHistoryTo}};
    for (const auto& [e, isBad] : bad)
        if (isBad)
            e->setStyleSheet(red);
}

void TForm3::RefreshPatientList() { register_->RefreshPatientList(); }
void TForm3::DepartmentChanged() { register_->DepartmentChanged(); }
void TForm3::SavePatientCard() { register_->SavePatientCard(); }
const QVariant& TForm3::currentDepartment() const { return register_->department(); }

} // namespace talvora

// ---------------------------------------------------------------- the tab "Отчеты"

namespace talvora {

void TForm3::buildReportsTab()
{
    QWidget* tab = c_.reportsTab;
    auto* split = new QSplitter(Qt::Horizontal, tab);
    auto* tabLayout = new QHBoxLayout(tab);
    tabLayout->setContentsMargins(2, 2, 2, 2);
    tabLayout->addWidget(split);

    // Left column: the buttons, the document list, the template chooser.
    auto* left = new QWidget(split);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    c_.showTemplates = new QCheckBox(QStringLiteral("показать доступные шаблоны"), left);
    c_.showTemplates->setAccessibleName(c_.showTemplates->text());
    leftLayout->addWidget(c_.showTemplates);
    auto* buttons = new QHBoxLayout;
    c_.showDocument = hintButton(left, QStyle::SP_FileDialogContentsView, QString(), "showDocument");
    c_.showDocument->setAccessibleName(QStringLiteral("Показать документ"));
    c_.storeDocument = hintButton(left, QStyle::SP_DialogSaveButton, QStringLiteral("Сохранить"), "storeDocument");
    c_.deleteDocument = hintButton(left, QStyle::SP_TrashIcon, QStringLiteral("Удалить"), "deleteDocument");
    c_.exportDocument = hintButton(left, QStyle::SP_ArrowRight, QStringLiteral("Импорт в отдельный WORD"), "exportDocument");
    c_.cancelAssembly = hintButton(left, QStyle::SP_ArrowBack, QStringLiteral("Отменить сборку"), "cancelAssembly");
    c_.assemble = hintButton(left, QStyle::SP_MediaPlay, QStringLiteral("Собрать документ"), "assembleDocument");
    for (QToolButton* b : {c_.showDocument, c_.storeDocument, c_.deleteDocument, c_.exportDocument, c_.cancelAssembly,
                           c_.assemble})
        buttons->addWidget(b);
    buttons->addStretch();
    leftLayout->addLayout(buttons);
    c_.documentList = new ui::DBGrid(left);
    c_.documentList->setObjectName(QStringLiteral("documentList"));
    c_.documentList->setAccessibleName(QStringLiteral("Документы пациента"));
    c_.documentList->bind(dm_.Vipis_q.get(), {{QStringLiteral("Podst_t"), QStringLiteral("Тип документа"), 150},
                                              {QStringLiteral("Vdate"), QStringLiteral("Дата"), 130}});
    leftLayout->addWidget(c_.documentList, 1);

    c_.templateChooser = new QWidget(left);
    c_.templateChooser->setObjectName(QStringLiteral("templateChooser"));
    auto* chooser = new QVBoxLayout(c_.templateChooser);
    chooser->setContentsMargins(0, 0, 0, 0);
    c_.typeGrid = new ui::DBGrid(c_.templateChooser);
    c_.typeGrid->setObjectName(QStringLiteral("templateTypes"));
    c_.typeGrid->setAccessibleName(QStringLiteral("Тип шаблона"));
    c_.typeGrid->bind(dm_.ShType.get(), {{QStringLiteral("ShTName"), QStringLiteral("Тип шаблона"), 0}});
    chooser->addWidget(c_.typeGrid, 1);
    using Nav = ui::DBNavigator;
    const Nav::Buttons moves = Nav::First | Nav::Prior | Nav::Next | Nav::Last;
    c_.typeNavigator = new Nav(c_.templateChooser);
    c_.typeNavigator->bind(dm_.ShType.get(), moves);
    chooser->addWidget(c_.typeNavigator);
    auto* row = new QHBoxLayout;
    c_.showTemplate = new QPushButton(QStringLiteral("Показать шаблон"), c_.templateChooser);
    c_.defaultTemplate = new QCheckBox(QStringLiteral("Выписка по умолч"), c_.templateChooser);
    c_.defaultTemplate->setAccessibleName(c_.defaultTemplate->text());
    c_.templateNavigator = new Nav(c_.templateChooser);
    c_.templateNavigator->bind(dm_.Sh_q.get(), moves);
    row->addWidget(c_.showTemplate);
    row->addWidget(c_.defaultTemplate);
    row->addWidget(c_.templateNavigator);
    row->addStretch();
    chooser->addLayout(row);
    c_.templateList = new ui::DBGrid(c_.templateChooser);
    c_.templateList->setObjectName(QStringLiteral("templateList"));
    c_.templateList->setAccessibleName(QStringLiteral("Название шаблона"));
    c_.templateList->bind(dm_.Sh_q.get(), {{QStringLiteral("ShName"), QStringLiteral("Название шаблона"), 0}});
    chooser->addWidget(c_.templateList, 2);
    c_.templateChooser->hide();
    leftLayout->addWidget(c_.templateChooser, 2);

    // Right part: the bar, the progress panel, the document.
    auto* right = new QWidget(split);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    c_.closeDocument = new QPushButton(QStringLiteral("Закрыть  документ"), right);
    c_.closeDocument->setAccessibleName(QStringLiteral("Закрыть документ"));
    c_.activateDocument = new QPushButton(QStringLiteral("Активировать документ"), right);
    c_.reportsErrorButton = makeErrorReportButton(3, QStringLiteral("Отчеты: "), right);
    c_.reportsErrorButton->setObjectName(QStringLiteral("reportsErrorReportButton"));
    bar->addWidget(c_.closeDocument);
    bar->addWidget(c_.activateDocument);
    bar->addStretch();
    bar->addWidget(c_.reportsErrorButton);
    rightLayout->addLayout(bar);
    c_.progressPanel = new QWidget(right);
    c_.progressPanel->setObjectName(QStringLiteral("assemblyProgress"));
    auto* progress = new QHBoxLayout(c_.progressPanel);
    progress->setContentsMargins(0, 0, 0, 0);
    c_.progressBar = new QProgressBar(c_.progressPanel);
    c_.progressBar->setRange(0, 100);
    c_.progressBar->setAccessibleName(QStringLiteral("Прогресс сборки:"));
    progress->addWidget(caption(QStringLiteral("Прогресс сборки:"), c_.progressPanel, c_.progressBar));
    progress->addWidget(c_.progressBar, 1);
    c_.progressPanel->hide();
    rightLayout->addWidget(c_.progressPanel);
    c_.view = new word::DocumentView(right);
    c_.view->setObjectName(QStringLiteral("documentView"));
    c_.view->setAccessibleName(QStringLiteral("Документ"));
    c_.view->setAutoVerbMenu(false);
    rightLayout->addWidget(c_.view, 1);
    // Never shown: the assembly and the export work through them.
    c_.auxView = new word::DocumentView(right);
    c_.auxView->setObjectName(QStringLiteral("auxiliaryView"));
    c_.auxView->hide();
    c_.markerBox = new word::MarkerTextBox(right);
    c_.markerBox->hide();

    split->addWidget(left);
    split->addWidget(right);
    split->setSizes({380, 880});
}

void TForm3::wireReports()
{
    patient::PatientDocuments& docs = *documents_;
    connect(&docs, &patient::PatientDocuments::defaultFlagShown, this, [this](bool on) {
        const QSignalBlocker block(c_.defaultTemplate);
        c_.defaultTemplate->setChecked(on);
    });
    connect(c_.showTemplates, &QCheckBox::toggled, c_.templateChooser, &QWidget::setVisible);
    connect(c_.tabs, &QTabWidget::currentChanged, this, guarded([this](int index) {
        if (c_.tabs->widget(index) == c_.reportsTab)
            documents_->OpenTemplatesOfType();
    }));
    connect(c_.typeGrid, &ui::DBGrid::cellClicked, this, guarded([this] { documents_->OpenTemplatesOfType(); }));
    connect(c_.templateList, &ui::DBGrid::cellClicked, this, guarded([this] { documents_->ShowTemplate(*c_.view); }));
    connect(c_.showTemplate, &QPushButton::clicked, this, guarded([this] { documents_->ShowTemplate(*c_.view); }));
    c_.defaultTemplate->installEventFilter(this);
    connect(c_.documentList, &ui::DBGrid::cellClicked, this, guarded([this] { documents_->ShowStoredDocument(*c_.view); }));
    connect(c_.showDocument, &QToolButton::clicked, this, guarded([this] { documents_->ShowStoredDocument(*c_.view); }));
    connect(c_.assemble, &QToolButton::clicked, this, guarded([this] { AssembleInView(); }));
    connect(c_.cancelAssembly, &QToolButton::clicked, this, guarded([this] {
        if (links.cancelAssembly)
            links.cancelAssembly(*c_.view);
    }));
    connect(c_.storeDocument, &QToolButton::clicked, this, guarded([this] {
        const patient::PendingDocument pending = documents_->CaptureDocument(*c_.view);
        if (links.chooseDocumentType)
            links.chooseDocumentType(pending);
        else // no dialog to ask in: a document without a type
            documents_->SaveAssembledDocument(pending, 0);
    }));
    connect(c_.deleteDocument, &QToolButton::clicked, this, guarded([this] { documents_->DeleteDocument(); }));
    connect(c_.exportDocument, &QToolButton::clicked, this, guarded([this] { documents_->ExportToSeparateWord(*c_.auxView); }));
    connect(c_.closeDocument, &QPushButton::clicked, this, guarded([this] { c_.view->close(); }));
    connect(c_.activateDocument, &QPushButton::clicked, this, guarded([this] { c_.view->activate(); }));
    connect(c_.view, &word::DocumentView::focusLeft, this, guarded([this] { c_.view->close(); }));
}

patient::AssemblyParts TForm3::assemblyParts() const
{
    return {c_.view, c_.auxView, c_.markerBox, c_.progressPanel, c_.progressBar};
}

void TForm3::AssembleInView()
{
    if (links.assemble)
        links.assemble(assemblyParts());
}

void TForm3::StartDefaultDischarge()
{
    c_.tabs->setCurrentWidget(c_.reportsTab);
    try {
        if (!documents_->OpenDefaultTemplates())
            return;
        documents_->ShowTemplate(*c_.view);
    } catch (const std::exception&) {
        return; // no default template to start from: nothing more happens
    }
    AssembleInView();
}

} // namespace talvora
