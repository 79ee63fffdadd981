#include "treatment_page.h"

#include "common/program_state.h"
#include "data/data_module.h"
#include "drug_reference.h"
#include "drug_reference_panel.h"
#include "equal_doses_calculator.h"
#include "treatment_scheme.h"
#include "ui/db_grid.h"
#include "ui/error_display.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora::treatment {

using ui::guarded;

namespace {

// The scheme's own colour for the patient and the main button.
const QString kMaroonBold = QStringLiteral("color: #800000; font-weight: bold;");

template <class F>
void call(const F& f, auto&&... args)
{
    if (f)
        f(std::forward<decltype(args)>(args)...);
}

bool rightRelease(const QEvent* event)
{
    return event->type() == QEvent::MouseButtonRelease &&
           static_cast<const QMouseEvent*>(event)->button() == Qt::RightButton;
}

} // namespace

TreatmentPage::TreatmentPage(data::TDM& dm, TreatmentScheme& scheme, DrugReference& drugs,
                             const TreatmentWindowLinks& links, QToolButton* errorButton, QWidget* parent)
    : QWidget(parent), dm_(dm), scheme_(scheme), drugs_(drugs), links_(links)
{
    c_.errorReport = errorButton;
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(4, 4, 4, 4);
    c_.upper = new QWidget(this);
    c_.upper->setFixedHeight(kSchemeHeight);
    auto* h = new QHBoxLayout(c_.upper);
    h->setContentsMargins(0, 0, 0, 0);
    auto* left = new QWidget(c_.upper);
    auto* right = new QWidget(c_.upper);
    buildScheme(left);
    buildRight(right);
    h->addWidget(left, 1);
    h->addWidget(right, 1);
    v->addWidget(c_.upper);

    c_.reference = new DrugReferencePanel(dm_, drugs_, this);
    auto* title = new QLabel(QStringLiteral("Фармакологический справочник"), this);
    title->setStyleSheet(QStringLiteral("font-weight: bold;"));
    v->addWidget(title);
    v->addWidget(c_.reference, 1);

    scheme_.readTexts = [this] { return SchemeTexts{c_.recommendations->toPlainText(), c_.course->toPlainText()}; };
    wire();
    showTextChoice();
}

void TreatmentPage::buildScheme(QWidget* left)
{
    auto* v = new QVBoxLayout(left);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    auto* band = new QWidget(left);
    auto* b = new QHBoxLayout(band);
    b->setContentsMargins(0, 0, 0, 0);
    c_.patientName = new QLabel(band);
    c_.patientName->setStyleSheet(kMaroonBold);
    c_.patientName->setAccessibleName(QStringLiteral("Пациент"));
    auto* weightCaption = new QLabel(QStringLiteral("Вес (кг)"), band);
    c_.weight = new QLabel(band);
    c_.weight->setStyleSheet(kMaroonBold);
    c_.weight->setAccessibleName(QStringLiteral("Вес (кг)"));
    b->addWidget(c_.patientName);
    b->addSpacing(16);
    b->addWidget(weightCaption);
    b->addWidget(c_.weight);
    b->addStretch();
    if (c_.errorReport) {
        c_.errorReport->setParent(band);
        b->addWidget(c_.errorReport);
    }
    band->installEventFilter(this);
    v->addWidget(band);

    c_.scheme = new ui::DBGrid(left);
    c_.scheme->setAccessibleName(QStringLiteral("Схема лечения"));
    c_.scheme->bind(dm_.Nazn.get(), {{QStringLiteral("Nname"), QStringLiteral("Название препарата"), 170},
                                     {QStringLiteral("Nrej"), QStringLiteral("Режим приема"), 200},
                                     {QStringLiteral("NmgKgS"), QStringLiteral("Доза в стуки на кг"), 120},
                                     {QStringLiteral("Nkurs"), QStringLiteral("Курс приема"), 120}});
    c_.scheme->datasetModel()->setEditable(true);
    c_.scheme->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
    c_.scheme->viewport()->installEventFilter(this);
    v->addWidget(c_.scheme, 1);
}

void TreatmentPage::buildRight(QWidget* right)
{
    auto* v = new QVBoxLayout(right);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);

    auto* regimenRow = new QHBoxLayout;
    c_.regimen = new QLineEdit(right);
    c_.regimen->setToolTip(QStringLiteral("Режим приема подробно"));
    c_.regimen->setAccessibleName(QStringLiteral("Режим приема"));
    c_.regimen->setMaxLength(255);
    auto* regimenCaption = new QLabel(QStringLiteral("Режим приема"), right);
    regimenCaption->setBuddy(c_.regimen);
    regimenRow->addWidget(regimenCaption);
    regimenRow->addWidget(c_.regimen, 1);
    v->addLayout(regimenRow);

    c_.calculator = new EqualDosesCalculator([this] { return scheme_.CurrentPatient().weight; }, right);
    c_.calculator->installEventFilter(this);
    v->addWidget(c_.calculator);

    auto* buttons = new QHBoxLayout;
    c_.addToTreatment = new QPushButton(QStringLiteral("Добавить в лечение"), right);
    c_.addToTreatment->setStyleSheet(kMaroonBold);
    c_.addToTreatment->setToolTip(QStringLiteral("Добавить препрат в схему лечения"));
    c_.removeFromTreatment = new QPushButton(QStringLiteral("Убрать из схемы"), right);
    c_.removeFromTreatment->setToolTip(QStringLiteral("Удалить  из схемы лечения"));
    c_.saveChanges = new QPushButton(QStringLiteral("Сохранить изменения"), right);
    c_.saveChanges->setToolTip(QStringLiteral("Сохранить изменения в схеме лечения"));
    for (QPushButton* p : {c_.addToTreatment, c_.removeFromTreatment, c_.saveChanges}) {
        p->setAccessibleName(p->text());
        buttons->addWidget(p);
    }
    buttons->addStretch();
    v->addLayout(buttons);

    auto* choices = new QHBoxLayout;
    c_.recommendationsChoice = new QRadioButton(QStringLiteral("рекомендации для выписки"), right);
    c_.courseChoice = new QRadioButton(QStringLiteral("ход лечения"), right);
    c_.referenceChoice = new QRadioButton(QStringLiteral("Фармакологический справочник"), right);
    c_.referenceChoice->setChecked(true);
    auto* group = new QButtonGroup(right);
    for (QRadioButton* r : {c_.recommendationsChoice, c_.courseChoice, c_.referenceChoice}) {
        r->setAccessibleName(r->text());
        group->addButton(r);
        choices->addWidget(r);
    }
    choices->addStretch();
    v->addLayout(choices);

    c_.texts = new QStackedWidget(right);
    c_.recommendations = new QPlainTextEdit(c_.texts);
    c_.recommendations->setAccessibleName(QStringLiteral("Рекомендации при выписке"));
    c_.course = new QPlainTextEdit(c_.texts);
    c_.course->setAccessibleName(QStringLiteral("Коментарии к лечению"));
    for (QPlainTextEdit* memo : {c_.recommendations, c_.course}) {
        c_.texts->addWidget(memo);
        memo->viewport()->installEventFilter(this);
    }
    v->addWidget(c_.texts, 1);
}

void TreatmentPage::wire()
{
    connect(c_.addToTreatment, &QPushButton::clicked, this, guarded([this] { scheme_.AddToTreatment(); }));
    connect(c_.removeFromTreatment, &QPushButton::clicked, this, guarded([this] { scheme_.RemoveFromTreatment(); }));
    connect(c_.saveChanges, &QPushButton::clicked, this, guarded([this] {
        if (c_.regimen->isModified())
            emit c_.regimen->editingFinished();
        scheme_.SaveChanges();
    }));
    connect(c_.regimen, &QLineEdit::editingFinished, this, guarded([this] {
        if (!c_.regimen->isModified())
            return;
        c_.regimen->setModified(false);
        scheme_.WriteRegimen(c_.regimen->text());
        showRegimen();
    }));
    connect(c_.calculator, &EqualDosesCalculator::calculated, this,
            guarded([this](const DoseResult& result) { scheme_.WriteDoseResult(result); }));
    connect(c_.calculator, &EqualDosesCalculator::unequalDosesChosen, this,
            guarded([this] { call(links_.showDoseDialog, scheme_.CurrentPatient().weight); }));

    data::TableDataset* nazn = dm_.Nazn.get();
    for (auto signal : {&data::Dataset::currentRowChanged, &data::Dataset::rowChanged})
        connect(nazn, signal, this, [this] { showRegimen(); });
    connect(nazn, &data::Dataset::dataReset, this, [this] { showRegimen(); });
    connect(nazn, &data::Dataset::activeChanged, this, [this] { showRegimen(); });

    for (QRadioButton* r : {c_.recommendationsChoice, c_.courseChoice, c_.referenceChoice})
        connect(r, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                showTextChoice();
        });
    for (QPlainTextEdit* memo : {c_.recommendations, c_.course})
        connect(memo, &QPlainTextEdit::textChanged, this, [this] {
            if (!loadingTexts_)
                scheme_.setTextsChanged();
        });
}

bool TreatmentPage::eventFilter(QObject* watched, QEvent* event)
{
    const bool onRecommendations = watched == c_.recommendations->viewport();
    const bool onCourse = watched == c_.course->viewport();
    if (rightRelease(event) && programSwitches().MarkerInsertion) {
        if (onRecommendations)
            call(links_.insertFieldMarker, 31);
        else if (onCourse)
            call(links_.insertFieldMarker, 32);
        else
            call(links_.insertTreatmentMarker);
    } else if (event->type() == QEvent::MouseButtonDblClick && (onRecommendations || onCourse)) {
        if (onRecommendations)
            scheme_.setTextsChanged();
        call(links_.editPatientText, onRecommendations ? 4 : 5);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TreatmentPage::showRegimen()
{
    if (c_.regimen->hasFocus() && c_.regimen->isModified())
        return; // the doctor is typing; it is written when the field is left
    c_.regimen->setText(scheme_.currentRegimen());
    c_.regimen->setModified(false);
    c_.regimen->setCursorPosition(0);
}

void TreatmentPage::showTextChoice()
{
    const bool reference = c_.referenceChoice->isChecked();
    c_.texts->setVisible(!reference);
    if (!reference)
        c_.texts->setCurrentWidget(c_.recommendationsChoice->isChecked() ? c_.recommendations : c_.course);
    c_.upper->setFixedHeight(reference ? kSchemeHeight : kSchemeWithTextHeight);
}

void TreatmentPage::setTexts(const QString& recommendations, const QString& course)
{
    loadingTexts_ = true;
    c_.recommendations->setPlainText(recommendations);
    c_.course->setPlainText(course);
    loadingTexts_ = false;
}

void TreatmentPage::showPatient()
{
    const SchemePatient p = scheme_.CurrentPatient();
    c_.patientName->setText(p.name);
    c_.weight->setText(p.weight);
    const bool samePatient = !p.key.isNull() && !scheme_.shownPatient().isNull() &&
                             p.key.toLongLong() == scheme_.shownPatient().toLongLong();
    if (samePatient && scheme_.textsChanged())
        return; // the doctor's unstored texts stay
    setTexts(p.recommendations, p.course);
    scheme_.patientShown(p.key);
}

void TreatmentPage::textStored(int kind, const QVariant& patient)
{
    const SchemePatient p = scheme_.CurrentPatient();
    if (p.key.isNull() || patient.isNull() || p.key.toLongLong() != patient.toLongLong() ||
        scheme_.shownPatient() != p.key)
        return;
    loadingTexts_ = true;
    if (kind == 4)
        c_.recommendations->setPlainText(p.recommendations);
    else if (kind == 5)
        c_.course->setPlainText(p.course);
    loadingTexts_ = false;
}

void TreatmentPage::windowShown()
{
    drugs_.Open();
}

void TreatmentPage::windowActivated()
{
    showPatient();
    showRegimen();
}

} // namespace talvora::treatment
