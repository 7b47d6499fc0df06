// The log pane's content as whole lines. Parts append lines; the window mirrors
// them through the listener. Saving lives in log_file.h.
#pragma once

#include <string>
#include <vector>

class LogModel {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void lineAppended(const std::string& line) = 0;
        virtual void reset() = 0; // cleared or trimmed: re-read lines()
    };

    void setListener(Listener* listener) { m_listener = listener; }
    void appendLine(std::string line);
    void clear();
    // Drops lines from the top until at most `maxLines` remain.
    void trimTo(int maxLines);
    int lineCount() const { return static_cast<int>(m_lines.size()); }
    const std::vector<std::string>& lines() const { return m_lines; }
    // All lines joined with "\n" (what "复制日志" puts on the clipboard).
    std::string text() const;

private:
    std::vector<std::string> m_lines;
    Listener* m_listener = nullptr;
};
