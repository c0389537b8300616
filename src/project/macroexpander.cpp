#include "project/macroexpander.h"

namespace {

// A text whose passes keep asking for another one (a reference whose name is itself a
// reference, or values that refer back to themselves) must still end.
constexpr int kMaxPasses = 64;

// Values that contain their own references grow with every pass; stop repeating once the text
// is this large rather than doubling it until memory runs out.
constexpr std::size_t kMaxRepeatedLength = std::size_t(1) << 24;

std::time_t systemClock() {
    return std::time(nullptr);
}

} // namespace

// One left-to-right scan. The output is only started at the first replacement, so a pass that
// changes nothing allocates nothing and tells the caller the text is final.
class MacroExpander::Pass {
public:
    Pass(const MacroExpander &expander, const MacroMap &local, bool useGlobal, bool useSystem)
        : m_expander(expander), m_single(&local), m_locals(&m_single), m_localCount(1),
          m_useGlobal(useGlobal), m_useSystem(useSystem) {}
    // The maps and their list stay the caller's while the pass lives.
    Pass(const MacroExpander &expander, std::initializer_list<const MacroMap *> locals,
         bool useGlobal, bool useSystem)
        : m_expander(expander), m_locals(locals.begin()), m_localCount(locals.size()),
          m_useGlobal(useGlobal), m_useSystem(useSystem) {}
    Pass(const Pass &) = delete;
    Pass &operator=(const Pass &) = delete;

    bool firstLocalUsed() const { return m_firstLocalUsed; }

    // Scans `in`; when something changed, leaves the result in `out` and returns true.
    bool run(std::string_view in, std::string &out) {
        m_in = in;
        m_out = &out;
        m_copied = 0;
        m_changed = false;
        m_again = false;

        std::size_t i = in.find(kIntroducer);
        while (i != std::string_view::npos && i + 1 < in.size()) {
            char next = in[i + 1];
            if (next == kIntroducer) {
                replace(i, i + 2, std::string_view(&kIntroducer, 1));
                i = in.find(kIntroducer, i + 2);
                continue;
            }
            if (next != '(') {
                i = in.find(kIntroducer, i + 1);
                continue;
            }
            std::size_t close = closingParenthesis(in, i + 1);
            if (close == std::string_view::npos)
                break; // an unterminated reference and everything after it stand as written
            reference(i, close);
            i = in.find(kIntroducer, close + 1);
        }
        if (m_changed)
            out.append(in.substr(m_copied));
        return m_changed;
    }

    bool wantsAnotherPass() const { return m_again; }

    std::optional<std::string_view> lookup(std::string_view key) {
        for (std::size_t i = 0; i < m_localCount; ++i) {
            if (const std::string *value = m_locals[i]->find(key)) {
                m_firstLocalUsed = m_firstLocalUsed || i == 0;
                return *value;
            }
        }
        if (m_useGlobal) {
            if (const std::string *value = m_expander.m_global.find(key))
                return *value;
        }
        if (m_useSystem) {
            auto it = m_expander.m_system.find(key);
            if (it != m_expander.m_system.end()) {
                if (!it->second.compute)
                    return it->second.value;
                // One moment per expansion, so $(Date) and $(Time) agree with each other.
                if (!m_now)
                    m_now = (m_expander.m_clock ? m_expander.m_clock : systemClock)();
                m_computed = it->second.compute(*m_now);
                return m_computed;
            }
        }
        return std::nullopt;
    }

private:
    // The reference "$(" text ")" spanning [begin, close].
    void reference(std::size_t begin, std::size_t close) {
        std::string_view text = m_in.substr(begin + 2, close - begin - 2);
        if (text.find(kIntroducer) != std::string_view::npos)
            m_again = true;

        std::size_t colon = text.find(':');
        std::string_view key = text.substr(0, colon);
        std::optional<std::string_view> fallback;
        if (colon != std::string_view::npos) {
            fallback = text.substr(colon + 1);
            if (!fallback->empty() && fallback->front() == ':') {
                fallback->remove_prefix(1);
                m_again = false;
            }
        }

        if (std::optional<std::string_view> value = lookup(key))
            replace(begin, close + 1, *value);
        else if (fallback)
            replace(begin, close + 1, *fallback);
        // Without a default an unknown reference is its own fallback: nothing to copy.
    }

    void replace(std::size_t begin, std::size_t end, std::string_view replacement) {
        if (!m_changed) {
            m_changed = true;
            m_out->clear();
            m_out->reserve(m_in.size() + m_in.size() / 2);
        }
        m_out->append(m_in.substr(m_copied, begin - m_copied));
        m_out->append(replacement);
        m_copied = end;
    }

    const MacroExpander &m_expander;
    const MacroMap *m_single = nullptr; // the list of a pass with one local map
    const MacroMap *const *m_locals;
    std::size_t m_localCount;
    bool m_firstLocalUsed = false;
    bool m_useGlobal;
    bool m_useSystem;
    std::optional<std::time_t> m_now;
    std::string m_computed;

    std::string_view m_in;
    std::string *m_out = nullptr;
    std::size_t m_copied = 0;
    bool m_changed = false;
    bool m_again = false;
};

std::size_t MacroExpander::closingParenthesis(std::string_view text, std::size_t open) {
    std::size_t depth = 0;
    for (std::size_t i = text.find_first_of("()", open); i != std::string_view::npos;
         i = text.find_first_of("()", i + 1)) {
        if (text[i] == '(')
            ++depth;
        else if (--depth == 0)
            return i;
    }
    return std::string_view::npos;
}

bool MacroExpander::expandInPlace(std::string &text, const MacroMap &local, bool useGlobal,
                                  bool useSystem) const {
    if (text.find(kIntroducer) == std::string::npos)
        return false;
    Pass pass(*this, local, useGlobal, useSystem);
    return runPasses(pass, text);
}

bool MacroExpander::runPasses(Pass &pass, std::string &text) {
    std::string out;
    bool changed = false;
    for (int i = 0; i < kMaxPasses; ++i) {
        if (!pass.run(text, out) || out == text)
            break;
        text.swap(out);
        changed = true;
        if (!pass.wantsAnotherPass() || text.size() > kMaxRepeatedLength)
            break;
    }
    return changed;
}

std::string MacroExpander::expand(std::string text, const MacroMap &local, bool useGlobal,
                                  bool useSystem) const {
    expandInPlace(text, local, useGlobal, useSystem);
    return text;
}

std::string MacroExpander::expand(std::string text, std::initializer_list<const MacroMap *> locals,
                                  bool *firstUsed) const {
    if (text.find(kIntroducer) == std::string::npos)
        return text;
    Pass pass(*this, locals, true, true);
    runPasses(pass, text);
    if (firstUsed)
        *firstUsed = *firstUsed || pass.firstLocalUsed();
    return text;
}

std::string MacroExpander::globalExpand(std::string text) const {
    expandInPlace(text, MacroMap(), true, true);
    return text;
}

std::string MacroExpander::systemExpand(std::string text) const {
    expandInPlace(text, MacroMap(), false, true);
    return text;
}

std::optional<std::string> MacroExpander::lookup(std::string_view name, const MacroMap &local,
                                                 bool useGlobal, bool useSystem) const {
    Pass pass(*this, local, useGlobal, useSystem);
    if (std::optional<std::string_view> value = pass.lookup(name))
        return std::string(*value);
    return std::nullopt;
}

void MacroExpander::addSystemMacro(std::string name, std::string value, std::string description) {
    m_system.insert_or_assign(std::move(name),
                              SystemMacro{std::move(value), std::move(description), nullptr});
}

void MacroExpander::addComputedSystemMacro(std::string name, ComputedValue compute,
                                           std::string description) {
    m_system.insert_or_assign(std::move(name), SystemMacro{{}, std::move(description), compute});
}

void MacroExpander::setGlobalMacrosFromList(std::string_view list) {
    m_global = MacroMap::fromList(list);
}

void MacroExpander::setGlobalMacro(std::string name, std::string value) {
    m_global.set(std::move(name), std::move(value));
}
