#include "equal_doses_calculator.h"

#include "ui/error_display.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora::treatment {

namespace {

QLineEdit* makeNumberEdit(const QString& text, const QString& hint, QWidget* parent)
{
    auto* e = new QLineEdit(text, parent);
    e->setToolTip(hint);
    e->setAccessibleName(hint);
    e->setMaximumWidth(60);
    return e;
}

QLabel* makeDisplay(const QString& text, const QString& hint, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setToolTip(hint);
    l->setAccessibleName(hint);
    l->setMinimumWidth(50);
    return l;
}

} // namespace

QComboBox* makeFractionBox(QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(FractionCaptions());
    box->setCurrentIndex(-1);
    box->setEditText(QStringLiteral("0"));
    return box;
}

FractionChoice fractionChoiceOf(const QComboBox* box)
{
    const QString text = box->currentText();
    return FractionChoice{FractionPosition(text), text};
}

bool leftByUser(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::MouseFocusReason ||
        reason == Qt::ShortcutFocusReason || reason == Qt::OtherFocusReason;
}

EqualDosesCalculator::EqualDosesCalculator(std::function<QString()> patientWeight, QWidget* parent)
    : QWidget(parent), patientWeight_(std::move(patientWeight))
{
    setObjectName(QStringLiteral("EqualDosesCalculator"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* choice = new QHBoxLayout;
    c_.equalDoses = new QRadioButton(QStringLiteral("равные  дозы"), this);
    c_.equalDoses->setToolTip(QStringLiteral("Случайприема равных доз в  течении суток"));
    c_.equalDoses->setAccessibleName(c_.equalDoses->text());
    c_.equalDoses->setChecked(true);
    c_.unequalDoses = new QRadioButton(QStringLiteral("не равные дозы"), this);
    c_.unequalDoses->setToolTip(QStringLiteral("Разные дозы в течении суток"));
    c_.unequalDoses->setAccessibleName(c_.unequalDoses->text());
    choice->addWidget(c_.equalDoses);
    choice->addWidget(c_.unequalDoses);
    choice->addStretch();
    layout->addLayout(choice);

    auto* row = new QHBoxLayout;
    const auto label = [this, row](const QString& text) { row->addWidget(new QLabel(text, this)); };
    c_.dose = makeNumberEdit(QStringLiteral("100"), QStringLiteral("Доза в 1-й таблетке"), this);
    row->addWidget(c_.dose);
    label(QStringLiteral("*"));
    c_.tablets = makeNumberEdit(QStringLiteral("1"), QStringLiteral("количество табл. в 1 прием"), this);
    row->addWidget(c_.tablets);
    label(QStringLiteral("+"));
    c_.fraction = makeFractionBox(this);
    c_.fraction->setToolTip(QStringLiteral("+ дробь (нецелая часть таблетки)"));
    c_.fraction->setAccessibleName(c_.fraction->toolTip());
    row->addWidget(c_.fraction);
    label(QStringLiteral("*"));
    c_.intakes = makeNumberEdit(QStringLiteral("1"), QStringLiteral("количество приемов в сутки"), this);
    row->addWidget(c_.intakes);
    label(QStringLiteral("= "));
    c_.dailyDose = makeDisplay(QStringLiteral("_______"), QStringLiteral("Суточная доза"), this);
    row->addWidget(c_.dailyDose);
    label(QStringLiteral("мг\\сут"));
    label(QStringLiteral("= "));
    c_.dosePerKg = makeDisplay(QStringLiteral("______"), QStringLiteral("суточноая доза на кг массы тела"), this);
    row->addWidget(c_.dosePerKg);
    label(QStringLiteral("мг\\кг\\сут"));
    c_.calculate = new QToolButton(this);
    c_.calculate->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    c_.calculate->setToolTip(QStringLiteral("Вычислить !"));
    c_.calculate->setAccessibleName(c_.calculate->toolTip());
    row->addWidget(c_.calculate);
    row->addStretch();
    layout->addLayout(row);

    c_.intakes->installEventFilter(this);
    connect(c_.calculate, &QToolButton::clicked, this, ui::guarded([this] { calculate(); }));
    connect(c_.unequalDoses, &QRadioButton::toggled, this, ui::guarded([this](bool on) {
        if (on)
            emit unequalDosesChosen();
    }));
}

void EqualDosesCalculator::setPatientWeight(std::function<QString()> patientWeight)
{
    patientWeight_ = std::move(patientWeight);
}

EqualDosesInput EqualDosesCalculator::input() const
{
    EqualDosesInput in;
    in.dose = c_.dose->text();
    in.tablets = c_.tablets->text();
    in.fraction = fractionChoiceOf(c_.fraction);
    in.intakes = c_.intakes->text();
    in.weight = patientWeight_ ? patientWeight_() : QString();
    return in;
}

DoseResult EqualDosesCalculator::recalculate()
{
    DoseResult result = CalculateEqualDoses(input());
    c_.dailyDose->setText(result.dailyDose);
    c_.dosePerKg->setText(result.dosePerKg);
    return result;
}

void EqualDosesCalculator::calculate()
{
    const DoseResult result = recalculate();
    emit calculated(result);
}

bool EqualDosesCalculator::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == c_.intakes && event->type() == QEvent::FocusOut &&
        leftByUser(static_cast<QFocusEvent*>(event)->reason()))
        ui::guarded([this] { recalculate(); })();
    return QWidget::eventFilter(watched, event);
}

} // namespace talvora::treatment
