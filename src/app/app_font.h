// The interface font: "宋体" at a 12-pixel height where the machine has it,
// otherwise a font of the machine that draws every character of our texts.
//
// A font can claim a character and still draw nothing for it (WenQuanYi Micro
// Hei maps "℃" to an empty glyph); Qt then never falls back to another font and
// every "温度(℃)" shows as "温度( )". So a candidate's glyphs are rendered and
// checked for ink, not only looked up.
#pragma once

#include <QFont>
#include <QString>

QFont ChineseInterfaceFont();

// The characters of our captions, labels and messages that a Chinese font may
// lack: the ideographs are common to all of them, these are not.
QString InterfaceSampleText();

// True when `family`'s own glyphs (no fallback) for every character of `text`
// but white space have ink.
bool DrawsWithInk(const QString& family, const QString& text);
