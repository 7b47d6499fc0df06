#include "app/export_messages.h"

#include "app/prompter.h"

void showExportMessages(Prompter& prompter, QWidget* parent, const ExportOutcome& outcome)
{
    for (const ExportMessage& message : outcome.messages) {
        if (message.warning)
            prompter.warn(parent, message.text, message.caption);
        else
            prompter.inform(parent, message.text, message.caption);
    }
}
