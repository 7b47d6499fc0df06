#include "log/log_model.h"

void LogModel::AppendLine(std::string line)
{
    m_lines.push_back(std::move(line));
    if (m_listener)
        m_listener->LineAppended(m_lines.back());
}

void LogModel::Clear()
{
    m_lines.clear();
    if (m_listener)
        m_listener->Reset();
}

void LogModel::TrimTo(int maxLines)
{
    if (maxLines < 0)
        maxLines = 0;
    if (LineCount() <= maxLines)
        return;
    m_lines.erase(m_lines.begin(), m_lines.end() - maxLines);
    if (m_listener)
        m_listener->Reset();
}

std::string LogModel::Text() const
{
    std::string text;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (i)
            text += '\n';
        text += m_lines[i];
    }
    return text;
}
