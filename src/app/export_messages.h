// The boxes an export asks to show, each with its own icon, in order.
#pragma once

#include "export/record_export.h"

class Prompter;
class QWidget;

void showExportMessages(Prompter& prompter, QWidget* parent, const ExportOutcome& outcome);
