// The interface font: "宋体" at a 12-pixel height where the machine has it,
// otherwise a font of the machine that can show Simplified Chinese.
#pragma once

#include <QFont>

QFont ChineseInterfaceFont();
