#include "dose_calculator_window.h"

#include "data/data_module.h"
#include "equal_doses_calculator.h"
#include "ui/error_display.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace talvora {

namespace {

QLineEdit* makeNumberEdit(const QString& text, const QString& name, QWidget* parent)
{
    auto* e = new QLineEdit(text, parent);
    e->setAccessibleName(name);
    e->setMaximumWidth(60);
    return e;
}

QLabel* makeDisplay(const QString& text, const QString& name, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setAccessibleName(name);
    l->setMinimumWidth(50);
    return l;
}

// "= " daily "мг\с" "=" per kilogram "мг\кг\с", after a panel's button.
void addResults(QHBoxLayout* row, QLabel* daily, QLabel* perKg, QWidget* parent)
{
    row->addWidget(new QLabel(QStringLiteral("= "), parent));
    row->addWidget(daily);
    row->addWidget(new QLabel(QStringLiteral("мг\\с"), parent));
    row->addWidget(new QLabel(QStringLiteral("="), parent));
    row->addWidget(perKg);
    row->addWidget(new QLabel(QStringLiteral("мг\\кг\\с"), parent));
}

} // namespace

TForm8::TForm8(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("калькулятор дозы"), QSize(520, kUnequalDosesHeight), 8,
                            QStringLiteral("Калькулятор дозы: "), parent),
      dm_(dm)
{
    setObjectName(QStringLiteral("TForm8"));
    buildTopBand();
    buildEqualPanel();
    buildUnequalPanel();
    frameLayout()->addStretch();
    applyMode();

    connect(c_.equalDoses, &QRadioButton::toggled, this, [this] { applyMode(); });
    connect(c_.calculateEqual, &QPushButton::clicked, this, ui::guarded([this] { calculateEqualDoses(); }));
    connect(c_.calculateUnequal, &QPushButton::clicked, this, ui::guarded([this] { calculateUnequalDoses(); }));
    c_.regimen->installEventFilter(this);
}

void TForm8::buildTopBand()
{
    auto* band = new QHBoxLayout;
    auto* weightCaption = new QLabel(QStringLiteral("Маса пациента"), this);
    c_.weight = new QLabel(this);
    QFont bold = c_.weight->font();
    bold.setBold(true);
    c_.weight->setFont(bold);
    c_.weight->setAccessibleName(weightCaption->text());
    band->addWidget(weightCaption);
    band->addWidget(c_.weight);
    band->addWidget(new QLabel(QStringLiteral("кг"), this));
    band->addSpacing(12);

    c_.equalDoses = new QRadioButton(QStringLiteral("равные дозы"), this);
    c_.equalDoses->setAccessibleName(c_.equalDoses->text());
    c_.unequalDoses = new QRadioButton(QStringLiteral("не равные дозы"), this);
    c_.unequalDoses->setAccessibleName(c_.unequalDoses->text());
    c_.unequalDoses->setChecked(true);
    auto* choice = new QVBoxLayout;
    choice->addWidget(c_.equalDoses);
    choice->addWidget(c_.unequalDoses);
    band->addLayout(choice);
    band->addSpacing(12);

    auto* result = new QVBoxLayout;
    auto* regimenCaption = new QLabel(QStringLiteral("Результат: режим приема"), this);
    c_.regimen = new QLineEdit(this);
    c_.regimen->setAccessibleName(regimenCaption->text());
    regimenCaption->setBuddy(c_.regimen);
    result->addWidget(regimenCaption);
    result->addWidget(c_.regimen);
    band->addLayout(result, 1);

    // The error-report button stays at the bar's right end.
    topBar()->insertLayout(0, band, 1);
}

void TForm8::buildEqualPanel()
{
    c_.equalPanel = new QGroupBox(QStringLiteral("Равные дозы"), this);
    auto* grid = new QGridLayout(c_.equalPanel);
    const auto label = [this](const QString& text) { return new QLabel(text, c_.equalPanel); };

    auto* doseCaption = label(QStringLiteral("Доза в 1-й табл"));
    c_.dose = makeNumberEdit(QStringLiteral("100"), doseCaption->text(), c_.equalPanel);
    doseCaption->setBuddy(c_.dose);
    c_.tablets = makeNumberEdit(QStringLiteral("1"), QStringLiteral("количество табл. в 1 прием"), c_.equalPanel);
    auto* fractionCaption = label(QStringLiteral("Дробь"));
    c_.fraction = treatment::makeFractionBox(c_.equalPanel);
    c_.fraction->setAccessibleName(fractionCaption->text());
    fractionCaption->setBuddy(c_.fraction);
    auto* intakesCaption = label(QStringLiteral("Кратность приема"));
    c_.intakes = makeNumberEdit(QStringLiteral("3"), intakesCaption->text(), c_.equalPanel);
    intakesCaption->setBuddy(c_.intakes);

    grid->addWidget(doseCaption, 0, 0, 1, 2);
    grid->addWidget(fractionCaption, 0, 4);
    grid->addWidget(intakesCaption, 0, 6);
    grid->addWidget(c_.dose, 1, 0);
    grid->addWidget(label(QStringLiteral("мг")), 1, 1);
    grid->addWidget(c_.tablets, 1, 2);
    grid->addWidget(label(QStringLiteral("+")), 1, 3);
    grid->addWidget(c_.fraction, 1, 4);
    grid->addWidget(label(QStringLiteral("*")), 1, 5);
    grid->addWidget(c_.intakes, 1, 6);

    auto* results = new QHBoxLayout;
    c_.equalDailyDose = makeDisplay(QStringLiteral("______"), QStringLiteral("Суточная доза"), c_.equalPanel);
    c_.equalDosePerKg =
        makeDisplay(QStringLiteral("_____"), QStringLiteral("суточная доза на кг массы тела"), c_.equalPanel);
    addResults(results, c_.equalDailyDose, c_.equalDosePerKg, c_.equalPanel);
    c_.calculateEqual = new QPushButton(QStringLiteral("Вычислить"), c_.equalPanel);
    c_.calculateEqual->setAccessibleName(c_.calculateEqual->text());
    results->addWidget(c_.calculateEqual);
    results->addStretch();
    grid->addLayout(results, 1, 7);
    grid->setColumnStretch(8, 1);
    frameLayout()->addWidget(c_.equalPanel);
}

void TForm8::buildUnequalPanel()
{
    c_.unequalPanel = new QGroupBox(QStringLiteral("Не равные дозы"), this);
    auto* box = new QVBoxLayout(c_.unequalPanel);
    auto* grid = new QGridLayout;
    const auto label = [this](const QString& text) { return new QLabel(text, c_.unequalPanel); };

    grid->addWidget(label(QStringLiteral("Доза в 1-й табл")), 0, 1);
    grid->addWidget(label(QStringLiteral("Дробь")), 0, 4);
    const std::array<QString, 4> names{QStringLiteral("Утром"), QStringLiteral("Днем"), QStringLiteral("Днем"),
                                       QStringLiteral("Вечером")};
    for (std::size_t i = 0; i < names.size(); ++i) {
        IntakeControls& r = c_.intakeRows[i];
        // The two day rows share a caption; their names tell them apart.
        const QString name = names[i] == QStringLiteral("Днем") ? QStringLiteral("Днем (%1)").arg(i) : names[i];
        r.caption = label(names[i]);
        r.dose = makeNumberEdit(QStringLiteral("100"), name + QStringLiteral(": Доза в 1-й табл"), c_.unequalPanel);
        r.caption->setBuddy(r.dose);
        r.tablets = makeNumberEdit(QStringLiteral("1"), name + QStringLiteral(": количество таблеток"),
                                   c_.unequalPanel);
        r.fraction = treatment::makeFractionBox(c_.unequalPanel);
        r.fraction->setAccessibleName(name + QStringLiteral(": Дробь"));
        const int row = int(i) + 1;
        grid->addWidget(r.caption, row, 0);
        grid->addWidget(r.dose, row, 1);
        grid->addWidget(r.tablets, row, 2);
        grid->addWidget(label(QStringLiteral("+")), row, 3);
        grid->addWidget(r.fraction, row, 4);
    }
    grid->setColumnStretch(5, 1);
    box->addLayout(grid);

    auto* results = new QHBoxLayout;
    c_.calculateUnequal = new QPushButton(QStringLiteral("Вычислить"), c_.unequalPanel);
    c_.calculateUnequal->setAccessibleName(c_.calculateUnequal->text());
    results->addWidget(c_.calculateUnequal);
    c_.unequalDailyDose = makeDisplay(QStringLiteral("______"), QStringLiteral("Суточная доза"), c_.unequalPanel);
    c_.unequalDosePerKg =
        makeDisplay(QStringLiteral("_____"), QStringLiteral("суточная доза на кг массы тела"), c_.unequalPanel);
    addResults(results, c_.unequalDailyDose, c_.unequalDosePerKg, c_.unequalPanel);
    results->addStretch();
    box->addLayout(results);
    frameLayout()->addWidget(c_.unequalPanel);
}

void TForm8::applyMode()
{
    const bool equal = c_.equalDoses->isChecked();
    c_.equalPanel->setVisible(equal);
    c_.unequalPanel->setVisible(!equal);
    // The minimum size must follow the shown panel before the height is set.
    frameLayout()->invalidate();
    frameLayout()->activate();
    resize(width(), equal ? kEqualDosesHeight : kUnequalDosesHeight);
}

void TForm8::setPatientWeight(const QString& weightText)
{
    c_.weight->setText(weightText);
}

void TForm8::setRegimen(const QString& regimen)
{
    c_.regimen->setText(regimen);
    c_.regimen->setModified(false);
}

void TForm8::showUnequalDoses(const QString& weightText)
{
    setPatientWeight(weightText);
    c_.unequalDoses->setChecked(true);
    applyMode();
    open();
}

treatment::EqualDosesInput TForm8::equalDosesInput() const
{
    treatment::EqualDosesInput in;
    in.dose = c_.dose->text();
    in.tablets = c_.tablets->text();
    in.fraction = treatment::fractionChoiceOf(c_.fraction);
    in.intakes = c_.intakes->text();
    in.weight = c_.weight->text();
    return in;
}

treatment::UnequalDosesInput TForm8::unequalDosesInput() const
{
    treatment::UnequalDosesInput in;
    for (std::size_t i = 0; i < in.rows.size(); ++i) {
        const IntakeControls& r = c_.intakeRows[i];
        in.rows[i] = treatment::IntakeInput{r.dose->text(), r.tablets->text(), treatment::fractionChoiceOf(r.fraction)};
    }
    in.weight = c_.weight->text();
    return in;
}

void TForm8::calculateEqualDoses()
{
    const treatment::DoseResult result = treatment::CalculateEqualDoses(equalDosesInput());
    c_.equalDailyDose->setText(result.dailyDose);
    c_.equalDosePerKg->setText(result.dosePerKg);
    emit calculated(result);
}

void TForm8::calculateUnequalDoses()
{
    const treatment::DoseResult result = treatment::CalculateUnequalDoses(unequalDosesInput());
    c_.unequalDailyDose->setText(result.dailyDose);
    c_.unequalDosePerKg->setText(result.dosePerKg);
    emit calculated(result);
}

bool TForm8::eventFilter(QObject* watched, QEvent* event)
{
    // An edited regimen is handed on whenever the field loses the focus, a
    // switch to another window included, so that no typing is lost.
    if (watched == c_.regimen && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && c_.regimen->isModified()) {
        c_.regimen->setModified(false);
        const QString text = c_.regimen->text();
        ui::guarded([this, text] { emit regimenEdited(text); })();
    }
    return ui::WorkstationWindow::eventFilter(watched, event);
}

} // namespace talvora
