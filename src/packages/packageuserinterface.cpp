#include "packages/packageuserinterface.h"

#include <unistd.h>

PackageUserInterface::~PackageUserInterface() = default;

void PackageUserInterface::progress(const std::string &, std::uint64_t, std::uint64_t, double) {}

void ConsolePackageUserInterface::progress(const std::string &name, std::uint64_t bytes,
                                           std::uint64_t total, double rate) {
    if (!::isatty(::fileno(m_err)))
        return; // a log or a pipe gets the result lines only
    if (total != 0)
        std::fprintf(m_err, "\r%s: %llu / %llu bytes (%.0f KB/sec)  ", name.c_str(),
                     static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(total),
                     rate / 1024);
    else
        std::fprintf(m_err, "\r%s: %llu bytes (%.0f KB/sec)  ", name.c_str(),
                     static_cast<unsigned long long>(bytes), rate / 1024);
    if (total != 0 && bytes >= total)
        std::fputc('\n', m_err);
    std::fflush(m_err);
}

void ScriptedPackageUserInterface::progress(const std::string &name, std::uint64_t bytes,
                                            std::uint64_t, double) {
    if (onProgress)
        onProgress(name, bytes);
}

ConsolePackageUserInterface::ConsolePackageUserInterface(std::FILE *in, std::FILE *out,
                                                         std::FILE *err)
    : m_in(in), m_out(out), m_err(err) {}

std::optional<std::string> ConsolePackageUserInterface::readLine() {
    std::fflush(m_out);
    std::string line;
    int c;
    while ((c = std::fgetc(m_in)) != EOF && c != '\n')
        line += char(c);
    if (c == EOF && line.empty())
        return std::nullopt;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    while (!line.empty() && line.front() == ' ')
        line.erase(0, 1);
    return line;
}

bool ConsolePackageUserInterface::confirm(const std::string &question) {
    std::fputs(question.c_str(), m_out);
    if (m_yes) {
        std::fputs("y\n", m_out);
        return true;
    }
    const std::optional<std::string> answer = readLine();
    return answer && (answer->empty() || *answer == "y" || *answer == "Y" || *answer == "yes");
}

PackageUserInterface::Overwrite ConsolePackageUserInterface::askOverwrite(const std::string &path) {
    if (m_overwrite)
        return *m_overwrite;
    std::fprintf(m_out,
                 "The file '%s' exists and is dated later than package file.\n"
                 "Do you want to overwrite this file? [Y]es [n]o [A]ll [N]one [C]ancel\n",
                 path.c_str());
    for (;;) {
        const std::optional<std::string> answer = readLine();
        if (!answer)
            return Overwrite::Cancel;
        if (answer->empty() || *answer == "y" || *answer == "Y")
            return Overwrite::Yes;
        if (*answer == "n")
            return Overwrite::No;
        if (*answer == "A" || *answer == "a")
            return Overwrite::All;
        if (*answer == "N")
            return Overwrite::None;
        if (*answer == "C" || *answer == "c")
            return Overwrite::Cancel;
        std::fputs("Please answer Y, n, A, N or C\n", m_out);
    }
}

std::optional<std::string> ConsolePackageUserInterface::askText(const std::string &prompt,
                                                                const std::string &suggestion) {
    std::fprintf(m_out, "%s [%s]\n", prompt.c_str(), suggestion.c_str());
    if (m_yes)
        return suggestion;
    std::optional<std::string> answer = readLine();
    if (answer && answer->empty())
        return suggestion;
    return answer;
}

void ConsolePackageUserInterface::message(const std::string &text) {
    std::fprintf(m_out, "%s\n", text.c_str());
}

void ConsolePackageUserInterface::error(const std::string &text) {
    std::fflush(m_out);
    std::fprintf(m_err, "%s\n", text.c_str());
}

ScriptedPackageUserInterface::ScriptedPackageUserInterface(std::vector<std::string> answers)
    : m_answers(answers.begin(), answers.end()) {}

std::optional<std::string> ScriptedPackageUserInterface::next() {
    if (m_answers.empty())
        return std::nullopt;
    std::string answer = std::move(m_answers.front());
    m_answers.pop_front();
    return answer;
}

bool ScriptedPackageUserInterface::confirm(const std::string &question) {
    questions.push_back(question);
    return next() == "yes";
}

PackageUserInterface::Overwrite
ScriptedPackageUserInterface::askOverwrite(const std::string &path) {
    questions.push_back("overwrite " + path);
    const std::optional<std::string> answer = next();
    if (answer == "yes")
        return Overwrite::Yes;
    if (answer == "no")
        return Overwrite::No;
    if (answer == "all")
        return Overwrite::All;
    if (answer == "none")
        return Overwrite::None;
    return Overwrite::Cancel;
}

std::optional<std::string> ScriptedPackageUserInterface::askText(const std::string &prompt,
                                                                 const std::string &) {
    questions.push_back(prompt);
    return next();
}

void ScriptedPackageUserInterface::message(const std::string &text) {
    messages.push_back(text);
}
void ScriptedPackageUserInterface::error(const std::string &text) {
    errors.push_back(text);
}
