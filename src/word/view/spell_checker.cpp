#include "word/view/spell_checker.h"

#include "common/errors.h"
#include "word/view/spell_word_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>

#include <hunspell.hxx>

#include <algorithm>
#include <optional>
#include <string>

namespace talvora::word {

namespace {

constexpr char16_t kStressAcute = 0x0301;
constexpr char16_t kStressGrave = 0x0300;
constexpr char16_t kSoftHyphen = 0x00AD;
constexpr qsizetype kCacheLimit = 200000;
constexpr int kLongestAbbreviation = 5;
// Hunspell's search for replacements grows with the word; longer words get none.
constexpr qsizetype kLongestSuggested = 48;

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == u'_' || c == QChar(kSoftHyphen);
}

bool isJoiner(QChar c)
{
    return c == u'-' || c == u'\u2010' || c == u'\u2011' || c == u'\'' || c == u'\u2019';
}

// The word as the dictionaries know it: without stress marks and soft
// hyphens, with plain hyphens and apostrophes.
QString normalized(QStringView word)
{
    QString out;
    out.reserve(word.size());
    for (const QChar c : word) {
        if (c == QChar(kStressAcute) || c == QChar(kStressGrave) || c == QChar(kSoftHyphen))
            continue;
        if (c == u'\u2010' || c == u'\u2011')
            out += u'-';
        else if (c == u'\u2019')
            out += u'\'';
        else
            out += c;
    }
    return out;
}

// Letters that look alike in the two alphabets, Latin first.
constexpr char16_t kLookAlikes[][2] = {
    {u'A', u'А'}, {u'a', u'а'}, {u'B', u'В'}, {u'C', u'С'}, {u'c', u'с'}, {u'E', u'Е'},
    {u'e', u'е'}, {u'H', u'Н'}, {u'K', u'К'}, {u'k', u'к'}, {u'M', u'М'}, {u'O', u'О'},
    {u'o', u'о'}, {u'P', u'Р'}, {u'p', u'р'}, {u'T', u'Т'}, {u'X', u'Х'}, {u'x', u'х'},
    {u'y', u'у'}, {u'Y', u'У'},
};

QString withLookAlikes(QString word, int from, int to)
{
    for (QChar& c : word)
        for (const auto& pair : kLookAlikes)
            if (c == QChar(pair[from])) {
                c = QChar(pair[to]);
                break;
            }
    return word;
}

// The part of the text around a word up to the nearest spaces.
QStringView chunkAround(QStringView text, qsizetype start, qsizetype end)
{
    while (start > 0 && !text[start - 1].isSpace())
        --start;
    while (end < text.size() && !text[end].isSpace())
        ++end;
    return text.mid(start, end - start);
}

bool isAddress(QStringView chunk)
{
    return chunk.contains(u'@') || chunk.contains(u"://") || chunk.startsWith(u"www.", Qt::CaseInsensitive);
}

} // namespace

std::vector<WordSpan> spellWords(QStringView text)
{
    std::vector<WordSpan> words;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (!isWordChar(text[i])) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        bool letters = false;
        while (i < n) {
            if (isWordChar(text[i])) {
                letters = letters || text[i].isLetter();
                ++i;
            } else if (isJoiner(text[i]) && i + 1 < n && isWordChar(text[i + 1])) {
                ++i;
            } else {
                break;
            }
        }
        if (letters && !isAddress(chunkAround(text, start, i)))
            words.push_back({int(start), int(i - start)});
    }
    return words;
}

// --- one Hunspell dictionary ---

struct SpellChecker::Dictionary {
    QString language;
    std::unique_ptr<Hunspell> hunspell;
    bool utf8 = true;
    mutable QStringEncoder encoder;
    mutable QStringDecoder decoder;

    // The word in the dictionary's encoding; none when it cannot be written in it.
    std::optional<std::string> encode(const QString& word) const
    {
        if (utf8)
            return word.toStdString();
        const QByteArray bytes = encoder(word);
        if (decoder(bytes) != word)
            return std::nullopt;
        return bytes.toStdString();
    }
    QString decode(const std::string& bytes) const
    {
        if (utf8)
            return QString::fromStdString(bytes);
        return decoder(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    }

    static std::unique_ptr<Dictionary> load(const QStringList& folders, const QString& language)
    {
        for (const QString& folder : folders) {
            const QString aff = QDir(folder).filePath(language + QStringLiteral(".aff"));
            const QString dic = QDir(folder).filePath(language + QStringLiteral(".dic"));
            if (!QFileInfo(aff).isFile() || !QFileInfo(dic).isFile())
                continue;
            auto dict = std::make_unique<Dictionary>();
            dict->language = language;
            dict->hunspell =
                std::make_unique<Hunspell>(QFile::encodeName(aff).constData(), QFile::encodeName(dic).constData());
            // The encoding is the .aff's SET line; Hunspell reads it.
            QByteArray encoding = QByteArray::fromStdString(dict->hunspell->get_dict_encoding()).trimmed();
            if (encoding.startsWith("microsoft-"))
                encoding = encoding.mid(10);
            dict->utf8 = encoding.isEmpty() || encoding.compare("UTF-8", Qt::CaseInsensitive) == 0;
            if (!dict->utf8) {
                dict->encoder = QStringEncoder(encoding.constData(), QStringConverter::Flag::Stateless);
                dict->decoder = QStringDecoder(encoding.constData(), QStringConverter::Flag::Stateless);
                if (!dict->encoder.isValid() || !dict->decoder.isValid())
                    continue; // an encoding we cannot write: as if there were no dictionary here
            }
            return dict;
        }
        return nullptr;
    }
};

// --- places ---

SpellCheckerPlaces SpellCheckerPlaces::defaults()
{
    SpellCheckerPlaces places;
    if (qEnvironmentVariableIsSet("TALVORA_SPELL_DICTIONARIES")) {
        places.dictionaryFolders =
            qEnvironmentVariable("TALVORA_SPELL_DICTIONARIES").split(u':', Qt::SkipEmptyParts);
    } else {
        places.dictionaryFolders = {QStringLiteral("/usr/share/hunspell"), QStringLiteral("/usr/share/myspell/dicts"),
                                    QStringLiteral("/usr/share/myspell")};
    }
    places.personalDictionary = QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                                QStringLiteral("/talvora/dictionary.txt"));
    return places;
}

// --- the checker ---

SpellChecker::SpellChecker(SpellCheckerPlaces places, QObject* parent)
    : QObject(parent), places_(std::move(places))
{
}

void SpellChecker::load()
{
    if (loaded_)
        return;
    loaded_ = true;
    russian_ = Dictionary::load(places_.dictionaryFolders, QStringLiteral("ru_RU"));
    english_ = Dictionary::load(places_.dictionaryFolders, QStringLiteral("en_US"));
    if (!available())
        return;
    loadWordList(QString::fromUtf8(medicalWordList()));
    loadPersonal();
}

SpellChecker::~SpellChecker() = default;

bool SpellChecker::available()
{
    load();
    return russian_ || english_;
}

QStringList SpellChecker::languages()
{
    load();
    QStringList out;
    for (const auto* dict : {russian_.get(), english_.get()})
        if (dict)
            out << dict->language;
    return out;
}

SpellChecker::Script SpellChecker::scriptOf(QStringView word)
{
    bool cyrillic = false;
    bool latin = false;
    for (const QChar c : word) {
        if (!c.isLetter())
            continue;
        switch (c.script()) {
        case QChar::Script_Cyrillic: cyrillic = true; break;
        case QChar::Script_Latin: latin = true; break;
        default: return Script::Other;
        }
    }
    if (cyrillic && latin)
        return Script::Mixed;
    return cyrillic ? Script::Cyrillic : latin ? Script::Latin : Script::None;
}

SpellChecker::Dictionary* SpellChecker::dictionaryFor(Script script) const
{
    switch (script) {
    case Script::Cyrillic: return russian_.get();
    case Script::Latin: return english_.get();
    default: return nullptr;
    }
}

bool SpellChecker::inDictionary(Dictionary& dict, QStringView word) const
{
    const std::optional<std::string> bytes = dict.encode(word.toString());
    if (!bytes)
        return true; // not a word this dictionary can judge
    return dict.hunspell->spell(*bytes);
}

bool SpellChecker::partIsCorrect(QStringView part)
{
    int letters = 0;
    int upper = 0;
    bool upperInside = false;
    for (const QChar c : part) {
        if (c.isDigit() || c == u'_')
            return true; // Т2, SpO2, fld_12
        if (!c.isLetter())
            continue;
        if (c.isUpper()) {
            ++upper;
            upperInside = upperInside || letters > 0;
        }
        ++letters;
    }
    if (letters < 2)
        return true;
    const QString text = part.toString();
    if (personal_.contains(text) || ignored_.contains(text))
        return true;
    const Script script = scriptOf(part);
    if (script == Script::Mixed)
        return false;
    if (upper == letters && letters <= kLongestAbbreviation)
        return true; // ЭКГ, ОНМК, EEG
    if (upperInside && upper < letters)
        return true; // ЭхоЭГ, pH
    Dictionary* dict = dictionaryFor(script);
    if (!dict || inDictionary(*dict, part))
        return true;
    // A Latin word with a capital in a Russian text is a drug or a name.
    return script == Script::Latin && part.front().isUpper();
}

bool SpellChecker::isCorrect(QStringView word)
{
    if (!available())
        return true;
    const QString w = normalized(word);
    const auto cached = cache_.constFind(w);
    if (cached != cache_.cend())
        return *cached;

    bool correct = true;
    if (personal_.contains(w) || ignored_.contains(w)) {
        correct = true;
    } else if (!w.contains(u'-')) {
        correct = partIsCorrect(w);
    } else {
        // By itself (по-прежнему, кто-то) or part by part (МРТ-признаки).
        Dictionary* dict = dictionaryFor(scriptOf(w));
        correct = dict && inDictionary(*dict, w);
        if (!correct) {
            correct = true;
            for (const QStringView part : QStringView(w).split(u'-', Qt::SkipEmptyParts))
                correct = correct && partIsCorrect(part);
        }
    }
    if (cache_.size() >= kCacheLimit)
        cache_.clear();
    cache_.insert(w, correct);
    return correct;
}

QStringList SpellChecker::suggestions(QStringView word, int max)
{
    QStringList out;
    const QString w = normalized(word);
    if (!available() || w.isEmpty() || max <= 0 || w.size() > kLongestSuggested)
        return out;
    const Script script = scriptOf(w);
    if (script == Script::Mixed) {
        // Letters from the other layout: the word in one alphabet.
        for (const QString& candidate : {withLookAlikes(w, 0, 1), withLookAlikes(w, 1, 0)})
            if (scriptOf(candidate) != Script::Mixed && isCorrect(candidate) && !out.contains(candidate))
                out << candidate;
    } else if (Dictionary* dict = dictionaryFor(script)) {
        if (const std::optional<std::string> bytes = dict->encode(w)) {
            for (const std::string& s : dict->hunspell->suggest(*bytes)) {
                const QString suggestion = dict->decode(s);
                if (!suggestion.isEmpty() && suggestion != w && !out.contains(suggestion))
                    out << suggestion;
                if (out.size() >= max)
                    break;
            }
        }
    }
    if (out.size() > max)
        out.resize(max);
    return out;
}

void SpellChecker::addWord(const QString& word, const QString& model)
{
    Dictionary* dict = dictionaryFor(scriptOf(word));
    if (!dict)
        return;
    const std::optional<std::string> bytes = dict->encode(word);
    if (!bytes)
        return;
    if (!model.isEmpty()) {
        if (const std::optional<std::string> example = dict->encode(model)) {
            dict->hunspell->add_with_affix(*bytes, *example);
            return;
        }
    }
    dict->hunspell->add(*bytes);
}

void SpellChecker::loadWordList(const QString& text)
{
    // A line is a word, or a word and a dictionary word it changes like
    // ("карбамазепин стол"); '#' starts a comment.
    for (QStringView line : QStringView(text).split(u'\n')) {
        const qsizetype hash = line.indexOf(u'#');
        if (hash >= 0)
            line = line.left(hash);
        const QList<QStringView> fields = line.trimmed().split(u' ', Qt::SkipEmptyParts);
        if (fields.isEmpty())
            continue;
        addWord(fields[0].toString(), fields.size() > 1 ? fields[1].toString() : QString());
    }
}

void SpellChecker::loadPersonal()
{
    if (places_.personalDictionary.isEmpty())
        return;
    QFile file(places_.personalDictionary);
    if (!file.open(QIODevice::ReadOnly))
        return; // not written yet
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1); // a byte order mark left by an editor
    for (const QStringView line : QStringView(text).split(u'\n')) {
        const QString word = normalized(line.trimmed());
        if (word.isEmpty() || personal_.contains(word))
            continue;
        personal_.insert(word);
        addWord(word);
    }
}

void SpellChecker::addToDictionary(QStringView word)
{
    const QString w = normalized(word).trimmed();
    // One word a line: anything with a space or a line end in it is not a word.
    if (w.isEmpty() || std::any_of(w.cbegin(), w.cend(), [](QChar c) { return c.isSpace(); }))
        return;
    load(); // the words already kept are known before one is written
    if (!places_.personalDictionary.isEmpty() && !personal_.contains(w)) {
        const QString path = places_.personalDictionary;
        const auto failed = [&](const QString& why) {
            return Error(QStringLiteral("Не удалось добавить слово в личный словарь «%1»: %2").arg(path, why));
        };
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            throw failed(QStringLiteral("не удалось создать папку"));
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite))
            throw failed(file.errorString());
        QByteArray line = w.toUtf8() + '\n';
        if (file.size() > 0) {
            // A file edited by hand may lack the last line's end.
            file.seek(file.size() - 1);
            if (file.read(1) != "\n")
                line.prepend('\n');
        }
        if (!file.seek(file.size()) || file.write(line) != line.size() || !file.flush())
            throw failed(file.errorString());
    }
    personal_.insert(w);
    addWord(w);
    cache_.clear();
    emit wordsChanged();
}

void SpellChecker::ignoreAll(QStringView word)
{
    const QString w = normalized(word);
    if (w.isEmpty() || ignored_.contains(w))
        return;
    ignored_.insert(w);
    cache_.clear();
    emit wordsChanged();
}

} // namespace talvora::word
