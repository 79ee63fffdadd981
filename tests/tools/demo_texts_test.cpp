// The demo patients' texts: every starter boilerplate filled in for every
// kind of patient reads finished, its numbers are plausible and agree with
// each other, a diagnosis's findings replace the normal lines they are about,
// and what no rule knows is taken out cleanly.

#include "demo_texts.h"
#include "tool_databases.h"

#include "common/errors.h"

#include <QJsonDocument>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>

using namespace talvora;
using tools::DemoCase;
using tools::DemoPerson;
using tools::DemoTexts;

namespace {

const QDate kAdmission(2024, 3, 12);

struct Fish {
    int kind = 0, minAge = 0, maxAge = 0, sex = 0;
    QString text;
};

// The starter boilerplates as `init` writes them, and the demo's tables.
class DemoTextsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        tools::test::Databases db;
        const auto run = db.tool({QStringLiteral("init")});
        ASSERT_EQ(run.rc, 0) << run.err.toStdString();
        fish = new std::vector<Fish>;
        for (const QVariantMap& r : db.rows(QStringLiteral("select FType, Fmin, Fmax, Fmale, Fmem from Fish order by FID")))
            fish->push_back({r.value(QStringLiteral("FType")).toInt(), r.value(QStringLiteral("Fmin")).toInt(),
                             r.value(QStringLiteral("Fmax")).toInt(), r.value(QStringLiteral("Fmale")).toInt(),
                             r.value(QStringLiteral("Fmem")).toString()});
        demo = DemoTexts::resource(QStringLiteral("demo.json"));
        texts = new DemoTexts(DemoTexts::resource(QStringLiteral("demo_texts.json")), demo.value(QStringLiteral("diagnoses")).toArray());
    }
    static void TearDownTestSuite()
    {
        delete texts;
        delete fish;
    }

    static QString fill(const Fish& f, const DemoPerson& person, quint32 seed = 1)
    {
        QRandomGenerator random(seed);
        const DemoCase c = texts->prepare(person, random);
        return texts->fillText(f.text, c, random);
    }

    static const Fish& boilerplate(int kind, int age, int sex)
    {
        for (const Fish& f : *fish)
            if (f.kind == kind && f.minAge <= age && age <= f.maxAge && (f.sex == sex || f.sex == 3))
                return f;
        throw Error(QStringLiteral("no boilerplate"));
    }

    static DemoPerson person(const QString& diagnosis, int variant, int sex, int age)
    {
        DemoPerson p;
        p.sex = sex;
        p.age = age;
        p.admission = kAdmission;
        p.discharge = kAdmission.addDays(12);
        p.profession = QStringLiteral("инженер");
        p.diagnosis = diagnosis;
        p.variant = variant;
        return p;
    }

    static inline std::vector<Fish>* fish = nullptr;
    static inline QJsonObject demo;
    static inline DemoTexts* texts = nullptr;
};

// What a finished text never holds.
QStringList faults(const QString& text)
{
    static const QList<std::pair<QRegularExpression, const char*>> checks{
        {QRegularExpression(QStringLiteral("__")), "a blank"},
        {QRegularExpression(QStringLiteral("\\(\\s*\\)")), "empty brackets"},
        {QRegularExpression(QStringLiteral(" / ")), "a choice left"},
        {QRegularExpression(QStringLiteral("  ")), "a doubled space"},
        {QRegularExpression(QStringLiteral("[,;:]\\s*[,.;:]|(?<!ст|мес|г)\\.\\s*,|\\.\\.|\\s[,.;:)]")), "doubled or loose punctuation"},
        {QRegularExpression(QStringLiteral("(?<!\\p{L})(с|в|на|по|и|от|до|к)\\s*[,.;:)]"),
                            QRegularExpression::UseUnicodePropertiesOption),
         "a half-sentence"},
        {QRegularExpression(QStringLiteral("[{}]")), "a placeholder"},
        {QRegularExpression(QStringLiteral("\\r\\r|^\\r|\\r$")), "an empty paragraph"},
    };
    QStringList found;
    for (const auto& [re, what] : checks) {
        const QRegularExpressionMatch m = re.match(text);
        if (m.hasMatch())
            found << QStringLiteral("%1 at «%2»").arg(QString::fromLatin1(what), text.mid(std::max<qsizetype>(0, m.capturedStart() - 30), 60));
    }
    return found;
}

int number(const QString& text, const QString& pattern, int group = 1)
{
    const QRegularExpressionMatch m = QRegularExpression(pattern).match(text);
    return m.hasMatch() ? m.captured(group).toInt() : -1;
}

} // namespace

TEST_F(DemoTextsTest, EveryBoilerplateReadsFinishedForEveryPatient)
{
    ASSERT_EQ(fish->size(), 21u);
    const QStringList comorbidities{QStringLiteral("hypertension"), QStringLiteral("ihd"), QStringLiteral("af"),
                                    QStringLiteral("diabetes"), QStringLiteral("bca"), QStringLiteral("gastritis"),
                                    QStringLiteral("obesity"), QStringLiteral("osteoarthritis")};
    const QStringList professions{QStringLiteral("инженер"), QStringLiteral("не работает"), QStringLiteral("пенсионер"),
                                  QStringLiteral("парикмахер")};
    int filled = 0;
    for (const QJsonValue& d : demo.value(QStringLiteral("diagnoses")).toArray()) {
        const QString key = d.toObject().value(QStringLiteral("key")).toString();
        const int variants = int(d.toObject().value(QStringLiteral("clinical")).toArray().size());
        for (const Fish& f : *fish)
            for (int sex : {1, 2}) {
                if (f.sex != 3 && f.sex != sex)
                    continue;
                for (int age : {f.minAge, (f.minAge + std::min(f.maxAge, 95)) / 2, std::min(f.maxAge, 95)})
                    for (int v = 0; v < variants; ++v)
                        for (int k = 0; k < 2; ++k) {
                            DemoPerson p = person(key, v, sex, age);
                            p.profession = professions.at((v + k + age) % professions.size());
                            if (k == 1) { // every comorbidity, drugs at home, still in hospital
                                p.comorbidities = comorbidities;
                                p.homeDrugs = {QStringLiteral("амлодипин 5 мг 1 р/д внутрь")};
                                p.lastingDrugs = {QStringLiteral("аторвастатин")};
                                p.discharge = QDate();
                            }
                            const QString text = fill(f, p, quint32(filled));
                            ++filled;
                            const QStringList found = faults(text);
                            EXPECT_TRUE(found.isEmpty()) << key.toStdString() << " v" << v << " age " << age << " sex " << sex
                                                         << ": " << found.join(QStringLiteral("; ")).toStdString();
                            EXPECT_EQ(text.count(u'\r'), f.text.count(u'\r')) << "no paragraph lost, " << key.toStdString();
                        }
            }
    }
    EXPECT_GT(filled, 1000);
}

TEST_F(DemoTextsTest, WordsAgreeWithTheSex)
{
    const QStringList male{QStringLiteral("больным с"), QStringLiteral("Госпитализирован "), QStringLiteral("обследовался"),
                           QStringLiteral("лечился"), QStringLiteral("Ориентирован "), QStringLiteral("Контактен"),
                           QStringLiteral("устойчив;"), QStringLiteral("устойчив."), QStringLiteral("Женат"),
                           QStringLiteral("пациента")};
    const QStringList female{QStringLiteral("больной с"), QStringLiteral("Госпитализирована"), QStringLiteral("обследовалась"),
                             QStringLiteral("лечилась"), QStringLiteral("Ориентирована"), QStringLiteral("Контактна"),
                             QStringLiteral("устойчива"), QStringLiteral("Замужем"), QStringLiteral("пациентки")};
    for (int age : {30, 50, 65, 80})
        for (const QString& dx : {QStringLiteral("multiple_sclerosis"), QStringLiteral("lumbar_radiculopathy"), QStringLiteral("migraine")})
            for (int sex : {1, 2}) {
                const QString text = fill(boilerplate(1, age, sex), person(dx, 0, sex, age)) + u'\r' +
                                     fill(boilerplate(2, age, sex), person(dx, 0, sex, age));
                for (const QString& w : sex == 1 ? female : male)
                    EXPECT_FALSE(text.contains(w, Qt::CaseInsensitive)) << w.toStdString() << " for sex " << sex << " age " << age;
            }
}

TEST_F(DemoTextsTest, MeasurementsArePlausibleAndAgree)
{
    for (quint32 seed = 0; seed < 200; ++seed) {
        const int age = 18 + int(seed % 80);
        DemoPerson p = person(QStringLiteral("encephalopathy"), int(seed % 2), 1 + int(seed % 2), age);
        const bool af = seed % 3 == 0, hypertension = seed % 2 == 0;
        if (af)
            p.comorbidities << QStringLiteral("af");
        if (hypertension)
            p.comorbidities << QStringLiteral("hypertension");
        QRandomGenerator random(seed);
        const DemoCase c = texts->prepare(p, random);
        const QString somatic = texts->fillText(boilerplate(3, age, p.sex).text, c, random);
        const QString history = texts->fillText(boilerplate(1, age, p.sex).text, c, random);
        const QString status = texts->fillText(boilerplate(2, age, p.sex).text, c, random);
        const std::string where = "seed " + std::to_string(seed) + ": " + somatic.toStdString();

        const QRegularExpressionMatch ad =
            QRegularExpression(QStringLiteral("АД (\\d+)/(\\d+) мм рт\\. ст\\. на правой руке, (\\d+)/(\\d+) мм рт\\. ст\\. на левой")).match(somatic);
        ASSERT_TRUE(ad.hasMatch()) << where;
        const int sys = ad.captured(1).toInt(), dia = ad.captured(2).toInt(), sysLeft = ad.captured(3).toInt(),
                  diaLeft = ad.captured(4).toInt();
        EXPECT_TRUE(sys >= 105 && sys <= 175 && dia >= 65 && dia <= 100 && sys - dia >= 25) << where;
        EXPECT_LE(std::abs(sys - sysLeft), 10) << where;
        EXPECT_LE(std::abs(dia - diaLeft), 5) << where;
        if (!hypertension) {
            EXPECT_LE(sys, 140) << where;
        }

        const int hr = number(somatic, QStringLiteral("ЧСС (\\d+) в минуту")), pulse = number(somatic, QStringLiteral("пульс (\\d+) в минуту"));
        EXPECT_TRUE(hr >= 60 && hr <= 105) << where;
        if (af) {
            if (age >= 60) { // the older patients' forms ask for the pulse deficit
                EXPECT_EQ(hr - pulse, number(somatic, QStringLiteral("дефицит пульса (\\d+)"))) << where;
            }
            EXPECT_GT(hr, pulse) << where;
        } else {
            EXPECT_EQ(hr, pulse) << "sinus rhythm: " << where;
            EXPECT_FALSE(somatic.contains(QStringLiteral("дефицит пульса "))) << where;
            EXPECT_FALSE(somatic.contains(QStringLiteral("ритм неправильный"))) << where;
        }
        const int rr = number(somatic, QStringLiteral("ЧДД (\\d+)")), spo2 = number(somatic, QStringLiteral("SpO2 (\\d+) %"));
        EXPECT_TRUE(rr >= 14 && rr <= 18) << where;
        EXPECT_TRUE(spo2 >= 95 && spo2 <= 99) << where;
        const QRegularExpressionMatch t = QRegularExpression(QStringLiteral("Температура тела 36,(\\d) °C")).match(somatic);
        ASSERT_TRUE(t.hasMatch()) << where;
        EXPECT_TRUE(t.captured(1).toInt() >= 4 && t.captured(1).toInt() <= 8) << where;

        // The years of hypertension fit in the life; a woman gave no more births than pregnancies.
        const int since = number(history, QStringLiteral("болезнь с (\\d+) (лет|года)"));
        if (age >= 45) { // the younger patients' forms do not ask
            EXPECT_EQ(since >= 0, hypertension) << history.toStdString();
        }
        if (hypertension && since >= 0) {
            EXPECT_TRUE(since >= 18 && since < age) << since << " at " << age;
        }
        if (p.sex == 2) {
            const int pregnancies = number(history, QStringLiteral("Беременностей (\\d+)")), births = number(history, QStringLiteral("родов (\\d+)"));
            ASSERT_GE(pregnancies, 0) << history.toStdString();
            EXPECT_LE(births, pregnancies);
        }
        // Every day written is before admission, the worsening a few days before it.
        for (auto it = QRegularExpression(QStringLiteral("(\\d\\d\\.\\d\\d\\.\\d{4})")).globalMatch(history); it.hasNext();) {
            const QDate day = QDate::fromString(it.next().captured(1), QStringLiteral("dd.MM.yyyy"));
            EXPECT_LE(day, kAdmission) << history.toStdString();
            EXPECT_GE(day, kAdmission.addDays(-40)) << history.toStdString();
        }
        const QRegularExpressionMatch worse = QRegularExpression(QStringLiteral("ухудшение с (\\d\\d\\.\\d\\d\\.\\d{4})")).match(history);
        ASSERT_TRUE(worse.hasMatch()) << history.toStdString();
        const qint64 before = QDate::fromString(worse.captured(1), QStringLiteral("dd.MM.yyyy")).daysTo(kAdmission);
        EXPECT_TRUE(before >= 2 && before <= 14) << before;
        for (auto it = QRegularExpression(QStringLiteral("\\b((19|20)\\d\\d)\\b")).globalMatch(history); it.hasNext();) {
            const int year = it.next().captured(1).toInt();
            EXPECT_LE(year, kAdmission.year());
            EXPECT_GE(year, kAdmission.year() - age + 16) << "not before the patient was 16";
        }
        // The scales of a vascular encephalopathy: lowered, MoCA below MMSE.
        if (age >= 60) {
            const int mmse = number(status, QStringLiteral("MMSE (\\d+) балл")), moca = number(status, QStringLiteral("МоСА (\\d+) балл"));
            ASSERT_GE(mmse, 0) << status.toStdString();
            EXPECT_LE(mmse, p.variant == 0 ? 27 : 23);
            EXPECT_GE(mmse, p.variant == 0 ? 24 : 18);
            EXPECT_LE(moca, mmse);
        }
    }
}

TEST_F(DemoTextsTest, TheDiagnosisFindingsReplaceTheNormalLines)
{
    for (int age : {55, 65, 80})
        for (int sex : {1, 2})
            for (int variant : {0, 1}) {
                QRandomGenerator random(7);
                const DemoCase left = texts->prepare(person(QStringLiteral("stroke_left_mca"), variant, sex, age), random);
                const QString status = texts->fillText(boilerplate(2, age, sex).text, left, random);
                const QString focal = texts->focal(left);
                EXPECT_FALSE(status.contains(QStringLiteral("5 баллов во всех группах"))) << status.toStdString();
                EXPECT_TRUE(status.contains(QStringLiteral("в правой руке 3 балла, в правой ноге 4 балла"))) << status.toStdString();
                EXPECT_TRUE(focal.contains(QStringLiteral("рука 3 балла, нога 4 балла"))) << "the summary tells the same";
                const QString reflexes = status.split(u'\r').filter(QStringLiteral("Рефлексы:")).value(0);
                EXPECT_TRUE(reflexes.contains(QStringLiteral("D>S"))) << reflexes.toStdString();
                EXPECT_FALSE(reflexes.contains(QStringLiteral("D=S"))) << reflexes.toStdString();
                EXPECT_TRUE(status.contains(QStringLiteral("симптом Бабинского справа")));
                EXPECT_FALSE(status.contains(QStringLiteral("патологических стопных и кистевых знаков нет")));
                EXPECT_FALSE(status.contains(QStringLiteral("речь не нарушена"))) << "aphasia";
                EXPECT_FALSE(status.contains(QStringLiteral("MMSE 2"))) << "no score for an aphasic patient";
                EXPECT_FALSE(status.contains(QStringLiteral("носогубные складки симметричны")));
                EXPECT_TRUE(faults(status).isEmpty()) << faults(status).join(u';').toStdString();

                const DemoCase right = texts->prepare(person(QStringLiteral("stroke_right_mca"), variant, sex, age), random);
                const QString other = texts->fillText(boilerplate(2, age, sex).text, right, random);
                EXPECT_TRUE(other.contains(QStringLiteral("S>D")));
                EXPECT_TRUE(other.contains(QStringLiteral("в левых конечностях")));
                EXPECT_EQ(other.contains(QStringLiteral("гемигипестезия")), variant == 1) << "only the lacunar stroke";
            }
    // A lumbar radiculopathy: the ankle jerk and the Lasègue sign on the side of the root.
    QRandomGenerator random(3);
    const DemoCase s1 = texts->prepare(person(QStringLiteral("lumbar_radiculopathy"), 0, 1, 40), random);
    const QString status = texts->fillText(boilerplate(2, 40, 1).text, s1, random);
    EXPECT_TRUE(status.contains(QStringLiteral("ахиллов справа снижен"))) << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral("Симптом Ласега справа")));
    EXPECT_FALSE(status.contains(QStringLiteral("Симптомы натяжения (Ласега, Вассермана) отрицательные")));
    // A patient without focal findings keeps the normal lines.
    const DemoCase migraine = texts->prepare(person(QStringLiteral("migraine"), 0, 2, 40), random);
    const QString normal = texts->fillText(boilerplate(2, 40, 2).text, migraine, random);
    EXPECT_TRUE(normal.contains(QStringLiteral("Мышечная сила 5 баллов во всех группах мышц.")));
    EXPECT_TRUE(normal.contains(QStringLiteral("Симптомы натяжения (Ласега, Вассермана) отрицательные.")));
}

TEST_F(DemoTextsTest, TheSameSeedWritesTheSameTexts)
{
    const DemoPerson p = person(QStringLiteral("polyneuropathy"), 1, 2, 70);
    const Fish& f = boilerplate(1, 70, 2);
    EXPECT_EQ(fill(f, p, 5), fill(f, p, 5));
    QSet<QString> different;
    for (quint32 seed = 0; seed < 10; ++seed)
        different.insert(fill(f, p, seed));
    EXPECT_GT(different.size(), 3);
}

TEST(DemoTexts, WhatNoRuleKnowsIsTakenOutCleanly)
{
    const QJsonObject phrases = QJsonDocument::fromJson(R"({"rules": [
        {"find": "Стул ___", "put": "Стул регулярный"},
        {"find": "Операции ___.", "put": "Операции отрицает."},
        {"find": "{Лечился|Лечилась}: ___, эффект ___.", "cases": [{"if": ["female"], "put": "Не {лечился|лечилась}."}]}
    ]})").object();
    const QJsonArray diagnoses = QJsonDocument::fromJson(R"([{"key": "x"}])").array();
    const DemoTexts texts(phrases, diagnoses);
    DemoPerson p;
    p.age = 50;
    p.admission = kAdmission;
    p.diagnosis = QStringLiteral("x");
    QRandomGenerator random(1);
    const DemoCase man = texts.prepare(p, random);
    const auto filled = [&](const QString& text) { return texts.fillText(text, man, random); };

    EXPECT_EQ(filled(QStringLiteral("Операции ___. Гинекологические заболевания и операции ___.")), QStringLiteral("Операции отрицает."))
        << "a sentence's pattern does not match inside another sentence";
    EXPECT_EQ(filled(QStringLiteral("Тонус не изменён / ___ (повышен), D=S.")), QStringLiteral("Тонус не изменён, D=S."));
    EXPECT_EQ(filled(QStringLiteral("Фотореакции ___ (живые / ослаблены), D=S.")), QStringLiteral("Фотореакции живые, D=S."));
    EXPECT_EQ(filled(QStringLiteral("Пенсионер, работает ___ / не работает.")), QStringLiteral("Пенсионер, не работает."));
    EXPECT_EQ(filled(QStringLiteral("Стул ___ (регулярный / запоры). Живот мягкий.")), QStringLiteral("Стул регулярный. Живот мягкий."));
    EXPECT_EQ(filled(QStringLiteral("Лечился: ___, эффект ___. Настоящее ухудшение с ___.")), QString())
        << "a rule for women only does not apply to a man";
    EXPECT_EQ(filled(QStringLiteral("Анамнез: начало острое. Лечился: ___, эффект ___.")), QStringLiteral("Анамнез: начало острое."));
    EXPECT_EQ(filled(QStringLiteral("Поза Ромберга: устойчив; в усложнённой позе ___.")), QStringLiteral("Поза Ромберга: устойчив."));
    EXPECT_EQ(filled(QStringLiteral("АД ___/___ мм рт. ст. на правой руке. Отёков нет.")), QStringLiteral("Отёков нет."));
    // A heading left with nothing to say goes with its paragraph.
    EXPECT_EQ(filled(QStringLiteral("Жалобы: есть.\rПостоянно принимает: ___\rОтёков нет.")), QStringLiteral("Жалобы: есть.\rОтёков нет."));
    const QStringList paragraphs = texts.fill({QStringLiteral("Черепные нервы:"), QStringLiteral("Постоянно принимает: ___"), QString()}, man, random);
    EXPECT_EQ(paragraphs.value(0), QStringLiteral("Черепные нервы:")) << "a heading of its own stays";
    EXPECT_TRUE(paragraphs.value(1).isNull());
    EXPECT_FALSE(paragraphs.value(2).isNull()) << "an empty paragraph was not emptied by the filling";

    p.sex = 2;
    const DemoCase woman = texts.prepare(p, random);
    EXPECT_EQ(texts.fillText(QStringLiteral("Лечилась: ___, эффект ___. Стул ___."), woman, random), QStringLiteral("Не лечилась. Стул регулярный."));
}

TEST(DemoTexts, ARuleThatCannotBeReadIsRefused)
{
    const QJsonArray diagnoses;
    const auto load = [&](const char* rules) {
        DemoTexts(QJsonDocument::fromJson(QByteArray("{\"rules\": ") + rules + '}').object(), diagnoses);
    };
    EXPECT_THROW(load(R"([{"find": "АД ___", "put": "АД {pressure}"}])"), Error) << "an unknown value";
    EXPECT_THROW(load(R"([{"find": "АД ___", "put": "АД {n:5}"}])"), Error) << "a range without its end";
    EXPECT_THROW(load(R"([{"find": "АД ___"}])"), Error) << "nothing to put";
    EXPECT_THROW(load(R"([{"find": "АД {а|б ___", "put": "x"}])"), Error);
    EXPECT_NO_THROW(load(R"([{"find": "АД ___", "put": ["АД {ad}", "{n:-2..3} {да|нет}"]}])"));
}

TEST(DemoTexts, NumberWordsAgree)
{
    EXPECT_EQ(tools::agreeNumbers(QStringLiteral("MMSE 21 баллов, МоСА 23 баллов, 25 балла, 11 балл")),
              QStringLiteral("MMSE 21 балл, МоСА 23 балла, 25 баллов, 11 баллов"));
    EXPECT_EQ(tools::agreeNumbers(QStringLiteral("стаж 21 лет, стаж 22 лет, стаж 12 лет, 1 лет назад")),
              QStringLiteral("стаж 21 год, стаж 22 года, стаж 12 лет, 1 год назад"));
    EXPECT_EQ(tools::agreeNumbers(QStringLiteral("с 51 лет, с 52 лет, с 11 лет, в течение 21 лет, в течение 3 лет")),
              QStringLiteral("с 51 года, с 52 лет, с 11 лет, в течение 21 года, в течение 3 лет"));
    EXPECT_EQ(tools::agreeNumbers(QStringLiteral("с 2021 года, в 2019 г., 36,5 °C")), QStringLiteral("с 2021 года, в 2019 г., 36,5 °C"))
        << "years are no counts";
}

