// The interface font: "宋体" at a 12-pixel height where the machine has it,
// otherwise a font of the machine that draws every character of our texts
// (on Windows "Microsoft YaHei" when SimSun is missing).
//
// A font can claim a character and still draw nothing for it (WenQuanYi Micro
// Hei maps "℃" to an empty glyph); Qt then never falls back to another font and
// every "温度(℃)" shows as "温度( )". So a candidate's glyphs are rendered and
// checked for ink, not only looked up.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

QFont chineseInterfaceFont();

// The characters of our captions, labels and messages that a Chinese font may
// lack: the ideographs are common to all of them, these are not.
QString interfaceSampleText();

// The characters of `text` but white space that `family`'s own glyphs (no
// fallback) leave without ink; all of them when the family is not installed.
QString blankCharacters(const QString& family, const QString& text);

// The interface font's family list: the first of `candidates` (Chinese fonts)
// that draws every character of interfaceSampleText; failing that, the first of
// `symbolCandidates` that draws what a Chinese font leaves blank, in front of
// that Chinese font.
QStringList interfaceFamilies(const QStringList& candidates, const QStringList& symbolCandidates);

// True when `family`'s own glyphs (no fallback) for every character of `text`
// but white space have ink.
bool drawsWithInk(const QString& family, const QString& text);
