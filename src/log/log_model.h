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
        virtual void LineAppended(const std::string& line) = 0;
        virtual void Reset() = 0; // cleared or trimmed: re-read Lines()
    };

    void SetListener(Listener* listener) { m_listener = listener; }
    void AppendLine(std::string line);
    void Clear();
    // Drops lines from the top until at most `maxLines` remain.
    void TrimTo(int maxLines);
    int LineCount() const { return static_cast<int>(m_lines.size()); }
    const std::vector<std::string>& Lines() const { return m_lines; }
    // All lines joined with "\n" (what "复制日志" puts on the clipboard).
    std::string Text() const;

private:
    std::vector<std::string> m_lines;
    Listener* m_listener = nullptr;
};
