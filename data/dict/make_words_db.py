#!/usr/bin/env python3
"""Builds the encrypted word database dict/words.db of the pronunciation lookup.

Captions and explanations come from WordNet (wordnet-base): every lemma that
is a single word becomes one row, its senses listed most frequent first, one
per line, each marked with its part of speech. Pronunciations come from
espeak-ng's British Received Pronunciation and American voices, rewritten
into the learner's notation the lookup understands and stored with the IPA
symbols as decimal character references: the British one and the American one
beside each word, and each distinct one again as a row of the search table.
The finished database is encrypted with SQLCipher.

Usage: make_words_db.py --wordnet DIR --espeak PROGRAM --sqlcipher PROGRAM
                        --out FILE [--jobs N]
"""
import argparse
import concurrent.futures
import os
import re
import sqlite3
import subprocess
import sys
import tempfile
import time

KEY = "meadow_lantern_quiet_stones"
BRITISH = "en-gb-x-rp"
AMERICAN = "en-us"
BATCH = 2000

POS_FILES = (("noun", "n."), ("verb", "v."), ("adj", "adj."), ("adv", "adv."))

# A lemma of one word: letters, with inner hyphens or apostrophes.
SINGLE_WORD = re.compile(r"^[a-z](?:[a-z'-]*[a-z])?$")

# espeak-ng's RP phonemes in the traditional learner's notation. Pairs are
# tried before single symbols, so diphthongs and long vowels stay whole.
PAIRS = {
    "eɪ": "ei", "aɪ": "ai", "aʊ": "au", "ɔɪ": "ɔi", "əʊ": "əu", "oʊ": "əu",
    "eə": "ɛə", "ɛə": "ɛə", "ɪə": "iə", "iə": "iə", "ʊə": "uə", "ɜː": "əː",
    "iː": "iː", "uː": "uː", "ɑː": "ɑː", "ɔː": "ɔː", "əː": "əː", "ɒː": "ɔː",
    "aː": "ɑː", "eː": "ɛə", "oː": "ɔː",
}
SINGLES = {
    "ɪ": "i", "ᵻ": "i", "i": "i", "ʊ": "u", "u": "u", "ɒ": "ɔ", "ɔ": "ɔ",
    "ɐ": "ə", "ə": "ə", "ɜ": "ə", "ɚ": "ə", "ɘ": "ə", "ɵ": "ə", "ø": "ə",
    "œ": "ə", "ɛ": "e", "e": "e", "æ": "æ", "a": "æ", "ʌ": "ʌ", "ɑ": "ɑ",
    "o": "ɔ", "y": "i", "ɨ": "i", "ɯ": "u", "ʉ": "u",
    "ɹ": "r", "r": "r", "ɾ": "t", "ʁ": "r", "x": "k", "c": "k", "q": "k",
    "ç": "h", "ɬ": "l", "ɣ": "ɡ", "g": "ɡ", "ɡ": "ɡ", "β": "b", "ɲ": "nj",
    "ʎ": "lj", "ɫ": "l", "ʍ": "w",
    "b": "b", "d": "d", "f": "f", "h": "h", "j": "j", "k": "k", "l": "l",
    "m": "m", "n": "n", "p": "p", "s": "s", "t": "t", "v": "v", "w": "w",
    "z": "z", "ŋ": "ŋ", "θ": "θ", "ð": "ð", "ʃ": "ʃ", "ʒ": "ʒ",
    "ˈ": "ˈ", "ˌ": "ˌ", "ː": "ː",
}
# Marks that carry nothing the lookup can show: tie bars, joiners, nasal and
# syllabic diacritics, palatalisation, the glottal stop, word gaps.
DROPPED = re.compile("[\u0300-\u036f\u200c\u200d\u02b2\u0294\\s_]")

# The stored values of the lookup's symbol table; a stored pronunciation must
# be a sequence of these, or typed input could never reach it.
STORED_TOKENS = sorted({
    "&#712;", "&#720;", "&#593;", "ai", "au", "b", "d", "dr", "dz", "d&#658;",
    "e", "ei", "f", "&#609;", "h", "i", "i&#601;", "i&#720;", "j", "k", "l",
    "m", "n", "o", "p", "r", "s", "t", "tr", "ts", "t&#643;", "u", "u&#601;",
    "u&#720;", "v", "w", "z", "&#230;", "&#240;", "&#331;", "&#593;&#720;",
    "&#596;", "&#596;i", "&#596;&#720;", "&#601;", "&#601;u", "&#601;&#720;",
    "&#603;&#601;", "&#618;", "&#643;", "&#652;", "&#658;", "&#716;", "&#952;",
}, key=len, reverse=True)

VOWELS = set("ieæəʌɑɔuaɛː")
# Consonant clusters that may begin an English syllable; a stress mark is
# moved to the front of the longest one before the stressed vowel.
ONSETS = {
    "tʃ", "dʒ", "pl", "pr", "pj", "bl", "br", "bj", "tr", "tw", "tj", "dr",
    "dw", "dj", "kl", "kr", "kw", "kj", "ɡl", "ɡr", "ɡw", "ɡj", "fl", "fr",
    "fj", "θr", "θw", "θj", "ʃr", "sp", "st", "sk", "sm", "sn", "sl", "sw",
    "sf", "sj", "spl", "spr", "spj", "str", "stj", "skr", "skw", "skj", "skl",
    "mj", "nj", "vj", "hj", "lj", "zj", "ʃj",
}


def convert(ipa):
    """espeak-ng IPA -> the learner's notation in IPA symbols, or None."""
    ipa = DROPPED.sub("", ipa)
    out = []
    i = 0
    while i < len(ipa):
        pair = PAIRS.get(ipa[i:i + 2])
        if pair is not None:
            out.append(pair)
            i += 2
            continue
        single = SINGLES.get(ipa[i])
        if single is None:
            return None
        out.append(single)
        i += 1
    return keep_symbols_whole(move_stress("".join(out)))


def move_stress(text):
    """Puts each stress mark before its syllable's onset, not its vowel."""
    chars = list(text)
    i = 0
    while i < len(chars):
        if chars[i] in "ˈˌ":
            start = i
            while start > 0 and chars[start - 1] not in VOWELS \
                    and chars[start - 1] not in "ˈˌ":
                start -= 1
            run = "".join(chars[start:i])
            take = 0
            for n in range(len(run), 0, -1):
                onset = run[len(run) - n:]
                if n == 1 and onset != "ŋ" or onset in ONSETS:
                    take = n
                    break
            if take:
                mark = chars.pop(i)
                chars.insert(i - take, mark)
        i += 1
    return "".join(chars)


# The lookup's symbols of two characters, as the learner types them. What he
# types is read symbol by symbol, the longest that fits first, so wherever
# two such characters stand together they are one symbol, which must stand
# whole in the stored pronunciation: a stress mark between its two halves
# hides the word from the lookup.
TWO_CHARACTER_SYMBOLS = {
    "ai", "au", "dr", "dz", "dʒ", "ei", "iə", "iː", "tr", "ts", "tʃ", "uə",
    "uː", "ɑː", "ɔi", "ɔː", "əu", "əː", "ɛə",
}


def typed_symbols(typed):
    """(start, length) of each symbol, as the lookup reads typed text."""
    i = 0
    while i < len(typed):
        length = 2 if typed[i:i + 2] in TWO_CHARACTER_SYMBOLS else 1
        yield i, length
        i += length


def keep_symbols_whole(text):
    """Moves every stress mark out of the symbols the lookup reads as one:
    after a consonant symbol (towards its vowel, where espeak-ng put it),
    before a vowel symbol (which it then stresses)."""
    sounds = []  # (the stress marks before it, the sound)
    marks = ""
    for c in text:
        if c in "ˈˌ":
            marks += c
        else:
            sounds.append((marks, c))
            marks = ""
    typed = "".join(sound for _, sound in sounds)
    out = []
    for start, length in typed_symbols(typed):
        before, first = sounds[start]
        if length == 1:
            out.append(before + first)
            continue
        inside, second = sounds[start + 1]
        if first in VOWELS:
            out.append(before + inside + first + second)
        else:
            out.append(before + first + second + inside)
    return "".join(out) + marks


def american(ipa):
    """espeak-ng's American IPA as learners' American dictionaries write it.

    espeak-ng's American voice says an unstressed "ex-", "en-", "es-" at the
    start of a word with ɛ ("ɛɡzˈæmpəl"); the dictionaries Chinese learners
    are taught American English from write ɪ there, as the British voice
    does, and the learner types "igzæmpl". Only the vowel at the very start,
    before the first stress mark, is meant: inside a word the voice's ɛ is
    what the dictionaries write too ("tetralogy", "melodic").
    """
    if ipa.startswith("ɛ") and ("ˈ" in ipa or "ˌ" in ipa):
        return "ɪ" + ipa[1:]
    return ipa


def store(symbols):
    """IPA symbols -> stored notation: ASCII, others as &#decimal;."""
    return "".join(c if c.isascii() else "&#%d;" % ord(c) for c in symbols)


def storable(stored):
    i = 0
    while i < len(stored):
        for token in STORED_TOKENS:
            if stored.startswith(token, i):
                i += len(token)
                break
        else:
            return False
    return True


def read_synsets(wordnet, pos):
    """offset -> gloss of one data file."""
    glosses = {}
    with open(os.path.join(wordnet, "data." + pos), encoding="utf-8") as data:
        for line in data:
            if line.startswith("  "):
                continue
            head, _, gloss = line.partition(" | ")
            glosses[head.split(" ", 1)[0]] = gloss.strip()
    return glosses


def read_cased_forms(wordnet):
    """lower-case lemma -> the spellings its synsets use (for capitals)."""
    forms = {}
    for pos, _ in POS_FILES:
        with open(os.path.join(wordnet, "data." + pos),
                  encoding="utf-8") as data:
            for line in data:
                if line.startswith("  "):
                    continue
                fields = line.split(" | ", 1)[0].split()
                count = int(fields[3], 16)
                for k in range(count):
                    word = re.sub(r"\([a-z]+\)$", "", fields[4 + 2 * k])
                    forms.setdefault(word.lower(), set()).add(word)
    return forms


def read_lemmas(wordnet):
    """lemma -> (caption, [(pos mark, gloss), ...]) for single words."""
    forms = read_cased_forms(wordnet)
    lemmas = {}
    for pos, mark in POS_FILES:
        glosses = read_synsets(wordnet, pos)
        with open(os.path.join(wordnet, "index." + pos),
                  encoding="utf-8") as index:
            for line in index:
                if line.startswith("  "):
                    continue
                fields = line.split()
                lemma = fields[0]
                if not SINGLE_WORD.match(lemma):
                    continue
                synsets = int(fields[2])
                pointers = int(fields[3])
                offsets = fields[4 + pointers + 2:][:synsets]
                spellings = forms.get(lemma, {lemma})
                caption = lemma if lemma in spellings else min(spellings)
                entry = lemmas.setdefault(lemma, [caption, []])
                entry[1].extend((mark, glosses[o]) for o in offsets
                                if o in glosses)
    return lemmas


def read_frequencies(wordnet):
    """lemma -> how often its senses were tagged in WordNet's sample texts."""
    counts = {}
    with open(os.path.join(wordnet, "cntlist.rev"), encoding="utf-8") as tags:
        for line in tags:
            fields = line.split()
            if len(fields) == 3:
                lemma = fields[0].split("%", 1)[0]
                counts[lemma] = counts.get(lemma, 0) + int(fields[2])
    return counts


def explanation(senses):
    lines = []
    numbers = {}
    for mark, gloss in senses:
        numbers[mark] = numbers.get(mark, 0) + 1
        lines.append("%s %d. %s" % (mark, numbers[mark], gloss))
    return "<br/>".join(lines)


def speak(espeak, voice, words):
    """IPA of each word, one espeak-ng run for the whole batch."""
    text = "".join(w + ".\n" for w in words)
    result = subprocess.run([espeak, "-v", voice, "-q", "--ipa"],
                            input=text, capture_output=True, text=True,
                            check=True)
    lines = result.stdout.splitlines()
    if len(lines) == len(words):
        return lines
    # A word that espeak-ng split into clauses shifts the lines: speak the
    # batch word by word so each gets its own.
    if len(words) == 1:
        return [" ".join(lines)]
    half = len(words) // 2
    return speak(espeak, voice, words[:half]) \
        + speak(espeak, voice, words[half:])


def pronounce(espeak, voice, captions, jobs):
    batches = [captions[i:i + BATCH] for i in range(0, len(captions), BATCH)]
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        results = pool.map(lambda b: speak(espeak, voice, b), batches)
        return [ipa for batch in results for ipa in batch]


def stored_form(ipa):
    """(stored notation, sounds as the lookup counts them), or None."""
    symbols = convert(ipa)
    stored = store(symbols) if symbols else ""
    if not stored or not storable(stored):
        return None
    # Stress marks are no sounds.
    return stored, sum(1 for c in symbols if c not in "ˈˌ")


def write_plain(path, rows, sounds):
    db = sqlite3.connect(path)
    db.executescript("""
        -- One row per word: w_phonetic is its British pronunciation,
        -- w_phonetic_us its American one (the same text where they agree).
        CREATE TABLE dict_word (
            w_id INTEGER PRIMARY KEY,
            w_caption TEXT NOT NULL,
            w_phonetic TEXT NOT NULL,
            w_phonetic_us TEXT NOT NULL,
            w_explain TEXT NOT NULL,
            w_rank INTEGER NOT NULL,
            w_letters INTEGER NOT NULL);
        -- The lookup lists the hits closest to what was typed first, the
        -- most frequent first among equally close ones. Every hit holds
        -- the typed sounds (letters) in their order, so its edit distance
        -- from them is the number of sounds (letters) it has beyond them:
        -- scanning a narrow table or index in that order, a search meets
        -- its best hits first, stops at the hundredth, and never reads the
        -- table with its long explanations.
        --
        -- What a pronunciation search scans: one row per distinct
        -- pronunciation of a word, so a word is found by either, and met
        -- first by the closer one. Kept in its search order itself, so
        -- that it needs no index beside it.
        CREATE TABLE dict_sound (
            s_sounds INTEGER NOT NULL,
            s_rank INTEGER NOT NULL,
            s_phonetic TEXT NOT NULL,
            s_caption TEXT NOT NULL,
            s_word INTEGER NOT NULL REFERENCES dict_word (w_id),
            PRIMARY KEY (s_sounds, s_rank, s_phonetic)) WITHOUT ROWID;
        CREATE INDEX dict_word_by_letters
            ON dict_word (w_letters, w_rank, w_caption);
    """)
    db.executemany("INSERT INTO dict_word VALUES (?, ?, ?, ?, ?, ?, ?)", rows)
    db.executemany("INSERT INTO dict_sound (s_word, s_phonetic, s_sounds,"
                   " s_rank, s_caption) VALUES (?, ?, ?, ?, ?)", sounds)
    db.commit()
    db.execute("ANALYZE")
    db.commit()
    db.close()


def encrypt(sqlcipher, plain, target):
    script = ("ATTACH DATABASE '%s' AS encrypted KEY '%s';\n"
              "SELECT sqlcipher_export('encrypted');\n"
              "DETACH DATABASE encrypted;\n" % (target, KEY))
    subprocess.run([sqlcipher, plain], input=script, text=True, check=True,
                   capture_output=True)


def verify(sqlcipher, path, rows):
    """The file must be unreadable as plain SQLite and whole with the key."""
    with open(path, "rb") as database:
        if database.read(16) == b"SQLite format 3\0":
            raise RuntimeError("%s was written without encryption" % path)
    script = ("PRAGMA key='%s';\nSELECT count(*) FROM dict_word;\n" % KEY)
    result = subprocess.run([sqlcipher, path], input=script, text=True,
                            check=True, capture_output=True)
    if result.stdout.strip() != str(rows):
        raise RuntimeError("%s holds %r rows instead of %d: %s"
                           % (path, result.stdout.strip(), rows,
                              result.stderr.strip()))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wordnet", required=True)
    parser.add_argument("--espeak", required=True)
    parser.add_argument("--sqlcipher", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()
    started = time.monotonic()

    lemmas = read_lemmas(args.wordnet)
    order = sorted(lemmas, key=lambda w: (w, lemmas[w][0]))
    captions = [lemmas[w][0] for w in order]
    british = pronounce(args.espeak, BRITISH, captions, args.jobs)
    americans = pronounce(args.espeak, AMERICAN, captions, args.jobs)

    frequencies = read_frequencies(args.wordnet)
    rows = []
    forms = []  # per row: [(stored, sounds) British, American]
    rejected = []
    for lemma, gb, us in zip(order, british, americans):
        caption, senses = lemmas[lemma]
        both = [stored_form(gb), stored_form(american(DROPPED.sub("", us)))]
        if None in both or not senses:
            rejected.append("%s [%s] [%s]" % (caption, gb, us))
            continue
        rows.append([len(rows) + 1, caption, both[0][0], both[1][0],
                     explanation(senses),
                     (-frequencies.get(lemma, 0), len(convert(gb)), lemma),
                     len(caption.encode("utf-8"))])
        forms.append(both)
    for rank, row in enumerate(sorted(rows, key=lambda r: r[5]), 1):
        row[5] = rank
    sounds = [(row[0], stored, count, row[5], row[1])
              for row, both in zip(rows, forms)
              for stored, count in dict.fromkeys(both)]

    directory = os.path.dirname(os.path.abspath(args.out))
    os.makedirs(directory, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=directory) as work:
        plain = os.path.join(work, "plain.db")
        encrypted = os.path.join(work, "words.db")
        write_plain(plain, rows, sounds)
        encrypt(args.sqlcipher, plain, encrypted)
        verify(args.sqlcipher, encrypted, len(rows))
        os.replace(encrypted, args.out)

    print("words.db: %d words, %d pronunciations, %d left out (%s), %.1f s"
          % (len(rows), len(sounds), len(rejected), ", ".join(rejected[:5]),
             time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
