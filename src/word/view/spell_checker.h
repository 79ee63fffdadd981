#pragma once
// Spelling of Russian and English words with Hunspell.
//
// The checker loads the Russian (ru_RU) and English (en_US) dictionaries it
// finds in its dictionary folders, the department's medical word list built
// into the program, and the user's personal dictionary (one word a line,
// UTF-8). A dictionary that is missing is simply not used: without any, every
// word counts as correct.
//
// What a neurologist types is not all dictionary words, so some words are
// never marked: words with digits (Т2, SpO2, 3-х), abbreviations in capitals
// up to five letters (ЭКГ, МРТ, ЧСС, EEG), words with a capital inside
// (ЭхоЭГ, pH), single letters, and Latin words with a capital first letter that
// the English dictionary does not know (drug names, eponyms: Mexidol,
// Babinski). A word that mixes Cyrillic and Latin letters is marked: it is
// nearly always a look-alike letter typed in the wrong layout.

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>
#include <vector>

namespace talvora::word {

// A word in a piece of text: letters (with digits, '_', stress marks and soft
// hyphens inside) joined by inner hyphens and apostrophes.
struct WordSpan {
    int start = 0;
    int length = 0;
    bool operator==(const WordSpan&) const = default;
};

// The words of `text` that spelling looks at, in order. Words inside an
// e-mail address or a web address are left out.
std::vector<WordSpan> spellWords(QStringView text);

struct SpellCheckerPlaces {
    // Searched in order for ru_RU.{aff,dic} and en_US.{aff,dic}.
    QStringList dictionaryFolders;
    // The personal dictionary; empty: none (nothing is kept for the user).
    QString personalDictionary;

    // The system's folders (/usr/share/hunspell, /usr/share/myspell/dicts),
    // or the folders of TALVORA_SPELL_DICTIONARIES (separated by ':') when set;
    // the personal dictionary $XDG_DATA_HOME/talvora/dictionary.txt.
    static SpellCheckerPlaces defaults();
};

class SpellChecker : public QObject {
    Q_OBJECT
public:
    explicit SpellChecker(SpellCheckerPlaces places, QObject* parent = nullptr);
    ~SpellChecker() override;

    // Whether any dictionary was loaded. The dictionaries are read when the
    // checker is first asked (reading them takes about half a second), so a
    // program that makes its checker at start-up does not wait for them.
    bool available();
    // The dictionaries loaded ("ru_RU", "en_US").
    QStringList languages();

    // Whether `word` (as spellWords() finds it) is to be left unmarked.
    bool isCorrect(QStringView word);
    // Up to `max` replacements for a misspelt word, the likeliest first.
    QStringList suggestions(QStringView word, int max = 6);
    // Adds the word to the personal dictionary and to this session. Throws
    // talvora::Error when the personal dictionary cannot be written.
    void addToDictionary(QStringView word);
    // The word is left unmarked until the program ends.
    void ignoreAll(QStringView word);

    // Forgets the words already looked up (they are looked up again).
    void clearCache() { cache_.clear(); }

signals:
    // Words were added or skipped: what is marked may have changed.
    void wordsChanged();

private:
    struct Dictionary;
    enum class Script { None, Cyrillic, Latin, Mixed, Other };

    static Script scriptOf(QStringView word);
    Dictionary* dictionaryFor(Script script) const;
    bool partIsCorrect(QStringView part);
    bool inDictionary(Dictionary& dict, QStringView word) const;
    void addWord(const QString& word, const QString& model = {});
    void loadWordList(const QString& text);
    void loadPersonal();
    void load();

    SpellCheckerPlaces places_;
    bool loaded_ = false;
    std::unique_ptr<Dictionary> russian_;
    std::unique_ptr<Dictionary> english_;
    QSet<QString> personal_; // added words, exactly as written
    QSet<QString> ignored_;  // "skip all" for this session
    QHash<QString, bool> cache_;
};

} // namespace talvora::word
