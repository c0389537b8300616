#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The questions the package system asks and the lines it reports, behind one interface so
// that the console, a window or a test can answer them.
class PackageUserInterface {
public:
    enum class Overwrite { Yes, No, All, None, Cancel };

    virtual ~PackageUserInterface();

    // A yes/no question; false means No or Cancel.
    virtual bool confirm(const std::string &question) = 0;
    // An existing file newer than the package is about to be replaced.
    virtual Overwrite askOverwrite(const std::string &path) = 0;
    // A line of text (an installation directory); nothing means Cancel.
    virtual std::optional<std::string> askText(const std::string &prompt,
                                               const std::string &suggestion) = 0;
    virtual void message(const std::string &text) = 0;
    virtual void error(const std::string &text) = 0;
    // A download moves on: bytes so far, the total (0 while unknown) and bytes per second.
    // Called from the downloader's thread while the caller waits for the download.
    virtual void progress(const std::string &name, std::uint64_t bytes, std::uint64_t total,
                          double rate);
};

// Questions on standard output, answers from standard input; the end of input answers
// Cancel. `yes` answers every yes/no question yes; `overwrite` (when set) answers every
// overwrite question.
class ConsolePackageUserInterface : public PackageUserInterface {
public:
    ConsolePackageUserInterface(std::FILE *in, std::FILE *out, std::FILE *err);

    void setAssumeYes(bool yes) { m_yes = yes; }
    void setOverwritePolicy(std::optional<Overwrite> policy) { m_overwrite = policy; }

    bool confirm(const std::string &question) override;
    Overwrite askOverwrite(const std::string &path) override;
    std::optional<std::string> askText(const std::string &prompt,
                                       const std::string &suggestion) override;
    void message(const std::string &text) override;
    void error(const std::string &text) override;
    // On a terminal only: one line rewritten in place.
    void progress(const std::string &name, std::uint64_t bytes, std::uint64_t total,
                  double rate) override;

private:
    std::optional<std::string> readLine();

    std::FILE *m_in;
    std::FILE *m_out;
    std::FILE *m_err;
    bool m_yes = false;
    std::optional<Overwrite> m_overwrite;
};

// Answers from a script, for tests: each question takes the next answer ("yes", "no",
// "all", "none", "cancel", or any text for askText); an exhausted script answers Cancel.
// Everything asked and said is kept in order.
class ScriptedPackageUserInterface : public PackageUserInterface {
public:
    explicit ScriptedPackageUserInterface(std::vector<std::string> answers = {});

    bool confirm(const std::string &question) override;
    Overwrite askOverwrite(const std::string &path) override;
    std::optional<std::string> askText(const std::string &prompt,
                                       const std::string &suggestion) override;
    void message(const std::string &text) override;
    void error(const std::string &text) override;

    void progress(const std::string &name, std::uint64_t bytes, std::uint64_t total,
                  double rate) override;

    std::vector<std::string> questions;
    std::vector<std::string> messages;
    std::vector<std::string> errors;
    // Called with every progress report (from the downloader's thread), e.g. to cancel.
    std::function<void(const std::string &name, std::uint64_t bytes)> onProgress;

private:
    std::optional<std::string> next();
    std::deque<std::string> m_answers;
};
