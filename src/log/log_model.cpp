#include "log/log_model.h"

void LogModel::AppendLine(std::string line)
{
    FLines.push_back(std::move(line));
    if (FListener)
        FListener->LineAppended(FLines.back());
}

void LogModel::Clear()
{
    FLines.clear();
    if (FListener)
        FListener->Reset();
}

void LogModel::TrimTo(int maxLines)
{
    if (maxLines < 0)
        maxLines = 0;
    if (LineCount() <= maxLines)
        return;
    FLines.erase(FLines.begin(), FLines.end() - maxLines);
    if (FListener)
        FListener->Reset();
}

std::string LogModel::Text() const
{
    std::string text;
    for (size_t i = 0; i < FLines.size(); ++i) {
        if (i)
            text += '\n';
        text += FLines[i];
    }
    return text;
}
