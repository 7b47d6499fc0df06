#include "log/log_model.h"

void LogModel::appendLine(std::string line)
{
    m_lines.push_back(std::move(line));
    if (m_listener)
        m_listener->lineAppended(m_lines.back());
}

void LogModel::clear()
{
    m_lines.clear();
    if (m_listener)
        m_listener->reset();
}

void LogModel::trimTo(int maxLines)
{
    if (maxLines < 0)
        maxLines = 0;
    if (lineCount() <= maxLines)
        return;
    m_lines.erase(m_lines.begin(), m_lines.end() - maxLines);
    if (m_listener)
        m_listener->reset();
}

std::string LogModel::text() const
{
    std::string text;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (i)
            text += '\n';
        text += m_lines[i];
    }
    return text;
}
