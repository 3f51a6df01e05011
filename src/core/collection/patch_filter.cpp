#include "collection/patch_filter.h"

#include <algorithm>
#include <charconv>

#include "text/byte_text.h"

namespace patchlens {

using namespace filter_parts;

namespace {

// ---- Texts --------------------------------------------------------------------------------------

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The characters of a module, "name" or "file" written without quotes; bytes past ASCII too, so
// that a misspelt name comes back whole in the message.
bool IsWordChar(char c) {
    return IsLetter(c) || IsDigit(c) || c == '_' || c == '/' || c == '-' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// The characters of a device label ("DRIVE_", "OCT_1_", "X_OVER") or a row number.
bool IsLabelChar(char c) {
    return IsLetter(c) || IsDigit(c) || c == '_';
}

bool IsOperatorChar(char c) {
    return c == '=' || c == '!' || c == '<' || c == '>' || c == '~';
}

std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char &c : lower)
        c = AsciiLowerCase(c);
    return lower;
}

// What a module name is compared by: lower case, without blanks and / _ -.
std::string NameKey(std::string_view name) {
    std::string key;
    for (const char c : name)
        if (!IsBlank(c) && c != '/' && c != '_' && c != '-')
            key += AsciiLowerCase(c);
    return key;
}

std::string_view WithoutTrailingUnderscores(std::string_view label) {
    while (!label.empty() && label.back() == '_')
        label.remove_suffix(1);
    return label;
}

// `lower` is in lower case already.
bool EqualsIgnoringCase(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (AsciiLowerCase(text[i]) != lower[i])
            return false;
    return true;
}

bool ContainsIgnoringCase(std::string_view text, std::string_view lower) {
    if (lower.empty())
        return true;
    if (lower.size() > text.size())
        return false;
    const char first = lower.front();
    const std::size_t last = text.size() - lower.size();
    for (std::size_t at = 0; at <= last; ++at) {
        if (AsciiLowerCase(text[at]) != first)
            continue;
        std::size_t i = 1;
        while (i < lower.size() && AsciiLowerCase(text[at + i]) == lower[i])
            ++i;
        if (i == lower.size())
            return true;
    }
    return false;
}

// <0, 0 or >0 as `text` in lower case sorts before, with or after `lower`.
int CompareIgnoringCase(std::string_view text, std::string_view lower) {
    const std::size_t common = std::min(text.size(), lower.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto a = static_cast<unsigned char>(AsciiLowerCase(text[i]));
        const auto b = static_cast<unsigned char>(lower[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    return text.size() < lower.size() ? -1 : (text.size() > lower.size() ? 1 : 0);
}

// The number a text begins with ("450 ms", "+3", "-2", "0.50 Hz", ".5"), or none. The usual short
// values are read digit by digit, which gives the correctly rounded value as from_chars does (the
// digits are exact and so is the power of ten divided by); longer ones go to from_chars.
std::optional<double> LeadingNumber(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const bool digitFirst = !text.empty() && IsDigit(text.front());
    const bool pointFirst = text.size() >= 2 && text[0] == '.' && IsDigit(text[1]);
    if (!digitFirst && !pointFirst)
        return std::nullopt;
    constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::uint64_t digits = 0;
    int count = 0;
    int decimals = 0;
    std::size_t at = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at, ++count)
        digits = digits * 10 + static_cast<std::uint64_t>(text[at] - '0');
    if (at < text.size() && text[at] == '.')
        for (++at; at < text.size() && IsDigit(text[at]); ++at, ++count, ++decimals)
            digits = digits * 10 + static_cast<std::uint64_t>(text[at] - '0');
    double value = 0;
    if (count <= 15) {
        value = static_cast<double>(digits) / kPowersOfTen[decimals];
    } else {
        const auto [end, problem] =
            std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
        if (problem != std::errc{} || end == text.data())
            return std::nullopt;
    }
    return negative ? -value : value;
}

// ---- Reading ------------------------------------------------------------------------------------

constexpr std::string_view kTermExpected = "a module, name~, file~, \"!\" or \"(\" expected";
constexpr std::size_t kDeepestNesting = 64;

class Reader {
public:
    explicit Reader(std::string_view text) : m_text(text) {}

    bool Read() {
        SkipBlanks();
        if (AtEnd())
            return true; // the empty filter
        if (!ReadAlternatives(0))
            return false;
        if (!AtEnd())
            return Fail(m_at, "\")\" without a matching \"(\"");
        return true;
    }

    std::vector<Condition> &conditions() { return m_conditions; }
    std::vector<Node> &nodes() { return m_nodes; }
    const std::string &message() const { return m_message; }
    std::size_t errorAt() const { return m_errorAt; }

private:
    // ---- Places and messages

    bool AtEnd() const { return m_at >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_at]; }

    void SkipBlanks() {
        while (!AtEnd() && IsBlank(m_text[m_at]))
            ++m_at;
    }

    bool Fail(std::size_t at, std::string message) {
        m_errorAt = at;
        m_message = std::move(message);
        return false;
    }

    // `after "TEXT": WHAT`, TEXT the filter from `from` to `to` without blanks at its end.
    bool FailAfter(std::size_t from, std::size_t to, std::string_view what) {
        std::string_view before = m_text.substr(from, to - from);
        while (!before.empty() && IsBlank(before.back()))
            before.remove_suffix(1);
        return Fail(to, "after \"" + std::string(before) + "\": " + std::string(what));
    }

    // A term was expected at the current place: the message quotes the last word before it.
    bool FailTermExpected() {
        std::size_t end = m_at;
        while (end > 0 && IsBlank(m_text[end - 1]))
            --end;
        if (end == 0)
            return Fail(m_at, "at the start: " + std::string(kTermExpected));
        std::size_t begin = end;
        while (begin > 0 && !IsBlank(m_text[begin - 1]))
            --begin;
        return Fail(m_at, "after \"" + std::string(m_text.substr(begin, end - begin)) +
                              "\": " + std::string(kTermExpected));
    }

    // ---- Tree

    std::uint32_t OpenGroup(Node::Kind kind) {
        m_nodes.push_back({kind, 0, 0});
        return static_cast<std::uint32_t>(m_nodes.size() - 1);
    }

    // A group of one stands for its child: it goes, and the nodes after it move up by one.
    void CloseGroup(std::uint32_t group) {
        const auto end = static_cast<std::uint32_t>(m_nodes.size());
        if (group + 1 < end && m_nodes[group + 1].end == end) {
            m_nodes.erase(m_nodes.begin() + group);
            for (std::size_t at = group; at < m_nodes.size(); ++at)
                --m_nodes[at].end;
            return;
        }
        m_nodes[group].end = end;
    }

    void AddCondition(Condition condition) {
        m_conditions.push_back(std::move(condition));
        m_nodes.push_back({Node::Kind::Condition, static_cast<std::uint32_t>(m_nodes.size() + 1),
                           static_cast<std::uint32_t>(m_conditions.size() - 1)});
    }

    // ---- Grammar

    // The word `or` (any case) stands at the current place, alone.
    bool AtOr() const {
        if (m_at + 2 > m_text.size() || AsciiLowerCase(m_text[m_at]) != 'o' ||
            AsciiLowerCase(m_text[m_at + 1]) != 'r')
            return false;
        return m_at + 2 == m_text.size() || !IsWordChar(m_text[m_at + 2]);
    }

    // alternatives := terms ("or" terms)*
    bool ReadAlternatives(std::size_t depth) {
        const std::uint32_t any = OpenGroup(Node::Kind::Any);
        for (;;) {
            if (!ReadTerms(depth))
                return false;
            SkipBlanks();
            if (!AtOr())
                break;
            m_at += 2;
        }
        CloseGroup(any);
        return true;
    }

    // terms := term+, all of which must hold
    bool ReadTerms(std::size_t depth) {
        const std::uint32_t all = OpenGroup(Node::Kind::All);
        bool any = false;
        for (;;) {
            SkipBlanks();
            if (AtEnd() || Peek() == ')' || AtOr())
                break;
            if (!ReadTerm(depth))
                return false;
            any = true;
        }
        if (!any)
            return FailTermExpected();
        CloseGroup(all);
        return true;
    }

    bool ReadTerm(std::size_t depth) {
        const std::size_t start = m_at;
        if (Peek() == '(') {
            if (depth >= kDeepestNesting)
                return Fail(m_at, "more than " + std::to_string(kDeepestNesting) +
                                      " parentheses inside each other");
            ++m_at;
            SkipBlanks();
            if (!ReadAlternatives(depth + 1))
                return false;
            SkipBlanks();
            if (Peek() != ')')
                return FailAfter(start, m_at, "\")\" expected");
            ++m_at;
            return true;
        }
        if (Peek() == '!') {
            ++m_at;
            SkipBlanks();
            const std::size_t nameAt = m_at;
            std::string_view name;
            if (!ReadWord(name))
                return false;
            if (name.empty())
                return FailAfter(start, m_at, "a module expected");
            const std::optional<Module> module = FindModuleByName(name);
            if (!module)
                return Fail(nameAt, "unknown module \"" + std::string(name) + "\"");
            if (Peek() == '.' || (IsOperatorChar(Peek()) && Peek() != '!'))
                return FailAfter(start, m_at, "\"!\" takes a module alone, without a model or a knob");
            Condition off;
            off.subject = Subject::ModuleOff;
            off.module = IndexOf(*module);
            AddCondition(std::move(off));
            return true;
        }
        std::string_view word;
        if (!ReadWord(word))
            return false;
        if (m_at == start)
            return FailTermExpected();
        const std::string key = NameKey(word);
        if (key == "name" || key == "file")
            return ReadTextCondition(start, key == "name" ? Subject::Name : Subject::File);
        const std::optional<Module> module = FindModuleByName(word);
        if (!module)
            return Fail(start, "unknown module \"" + std::string(word) + "\"");
        return ReadModuleCondition(start, IndexOf(*module));
    }

    // A module name, "name" or "file": a quoted text or a run of word characters (possibly none).
    bool ReadWord(std::string_view &word) {
        if (Peek() == '"')
            return ReadQuoted(word);
        const std::size_t begin = m_at;
        while (!AtEnd() && IsWordChar(m_text[m_at]))
            ++m_at;
        word = m_text.substr(begin, m_at - begin);
        return true;
    }

    bool ReadQuoted(std::string_view &text) {
        const std::size_t quote = m_at;
        const std::size_t close = m_text.find('"', quote + 1);
        if (close == std::string_view::npos)
            return Fail(quote, "the quote here is not closed");
        text = m_text.substr(quote + 1, close - quote - 1);
        m_at = close + 1;
        return true;
    }

    // A compared text: quoted, or everything up to a blank, a parenthesis or a quote. False with
    // `present` false when there is none.
    bool ReadValue(std::string_view &value, bool &present) {
        present = false;
        if (Peek() == '"') {
            present = true;
            return ReadQuoted(value);
        }
        const std::size_t begin = m_at;
        while (!AtEnd() && !IsBlank(m_text[m_at]) && m_text[m_at] != '(' && m_text[m_at] != ')' &&
               m_text[m_at] != '"')
            ++m_at;
        value = m_text.substr(begin, m_at - begin);
        present = !value.empty();
        return true;
    }

    // The run of operator characters at the current place, whatever it is.
    std::string_view OperatorRun() const {
        std::size_t end = m_at;
        while (end < m_text.size() && IsOperatorChar(m_text[end]))
            ++end;
        return m_text.substr(m_at, end - m_at);
    }

    bool ReadOperator(std::size_t start, Operator &op) {
        const std::string_view run = OperatorRun();
        if (run.empty())
            return FailAfter(start, m_at, "an operator expected (= != < <= > >= ~)");
        static constexpr std::pair<std::string_view, Operator> kOperators[] = {
            {"=", Operator::Equal},      {"!=", Operator::NotEqual}, {"<", Operator::Less},
            {"<=", Operator::LessEqual}, {">", Operator::Greater},   {">=", Operator::GreaterEqual},
            {"~", Operator::Contains}};
        for (const auto &[spelling, which] : kOperators)
            if (run == spelling) {
                op = which;
                m_at += run.size();
                return true;
            }
        return FailAfter(start, m_at, "unknown operator \"" + std::string(run) + "\"");
    }

    bool ReadCompared(std::size_t start, Condition &condition) {
        SkipBlanks();
        std::string_view value;
        bool present = false;
        if (!ReadValue(value, present))
            return false;
        if (!present) {
            const bool text = condition.subject == Subject::Name || condition.subject == Subject::File;
            return FailAfter(start, m_at,
                             condition.subject == Subject::Model
                                 ? "a model expected"
                                 : (text ? "a text expected" : "a value expected"));
        }
        condition.text = LowerCase(value);
        condition.number = LeadingNumber(TrimBlanks(value));
        return true;
    }

    // name~TEXT, name=TEXT, file~TEXT, file=TEXT
    bool ReadTextCondition(std::size_t start, Subject subject) {
        SkipBlanks();
        const std::string_view run = OperatorRun();
        Condition condition;
        condition.subject = subject;
        if (run == "~")
            condition.op = Operator::Contains;
        else if (run == "=")
            condition.op = Operator::Equal;
        else
            return FailAfter(start, m_at, "\"~\" or \"=\" expected");
        m_at += run.size();
        if (!ReadCompared(start, condition))
            return false;
        AddCondition(std::move(condition));
        return true;
    }

    // MODULE, MODULE=MODEL, MODULE.LABEL OP VALUE, MODULE.ROW OP VALUE
    bool ReadModuleCondition(std::size_t start, std::size_t module) {
        Condition condition;
        condition.module = module;
        if (Peek() == '.') {
            ++m_at;
            const std::size_t begin = m_at;
            while (!AtEnd() && IsLabelChar(m_text[m_at]))
                ++m_at;
            const std::string_view selector = m_text.substr(begin, m_at - begin);
            if (std::all_of(selector.begin(), selector.end(), IsDigit) && !selector.empty()) {
                std::size_t row = 0;
                const auto [end, problem] =
                    std::from_chars(selector.data(), selector.data() + selector.size(), row);
                if (problem != std::errc{} || end != selector.data() + selector.size())
                    row = SIZE_MAX; // a row no panel has
                if (row == 0)
                    return FailAfter(start, begin, "rows count from 1 (the model line)");
                condition.subject = Subject::KnobByRow;
                condition.row = row - 1;
            } else {
                condition.label = LowerCase(WithoutTrailingUnderscores(selector));
                if (condition.label.empty())
                    return FailAfter(start, begin, "a label, a row number or a model expected");
                condition.subject = Subject::KnobByLabel;
            }
            SkipBlanks();
            if (!ReadOperator(start, condition.op) || !ReadCompared(start, condition))
                return false;
            AddCondition(std::move(condition));
            return true;
        }
        const std::size_t end = m_at;
        SkipBlanks();
        const std::string_view run = OperatorRun();
        // "!" before a module name begins the next term ("Delay !Reverb").
        if (run.empty() || run == "!") {
            m_at = end;
            condition.subject = Subject::ModuleOn;
            AddCondition(std::move(condition));
            return true;
        }
        if (run != "=")
            return FailAfter(start, m_at, "\"=\" and a model, or \".\" and a label or row, expected");
        m_at += run.size();
        condition.subject = Subject::Model;
        if (!ReadCompared(start, condition))
            return false;
        AddCondition(std::move(condition));
        return true;
    }

    std::string_view m_text;
    std::size_t m_at = 0;
    std::vector<Condition> m_conditions;
    std::vector<Node> m_nodes;
    std::string m_message;
    std::size_t m_errorAt = 0;
};

// ---- Evaluation ---------------------------------------------------------------------------------

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The value a line shows: the text after its first '=', or the whole line when it has none.
std::string_view ShownValue(std::string_view line) {
    const std::size_t equals = line.find('=');
    return Trimmed(equals == std::string_view::npos ? line : line.substr(equals + 1));
}

// Where the '=' after `label` is, when the line's label (the text before its first '=', blanks and
// trailing '_' aside) is `label`; npos otherwise. Most lines fail at their first letter.
std::size_t EqualsAfterLabel(std::string_view line, std::string_view label) {
    std::size_t at = 0;
    while (at < line.size() && IsBlank(line[at]))
        ++at;
    if (line.size() - at < label.size())
        return std::string_view::npos;
    for (const char wanted : label)
        if (AsciiLowerCase(line[at++]) != wanted)
            return std::string_view::npos;
    while (at < line.size() && (line[at] == '_' || IsBlank(line[at])))
        ++at;
    return at < line.size() && line[at] == '=' ? at : std::string_view::npos;
}

// The value of the first line whose label is `label`, or none.
std::optional<std::string_view> ValueByLabel(const ModuleFacts &module, std::string_view label) {
    for (const std::string_view line : module.lines) {
        const std::size_t equals = EqualsAfterLabel(line, label);
        if (equals != std::string_view::npos)
            return Trimmed(line.substr(equals + 1));
    }
    return std::nullopt;
}

bool Compare(std::string_view shown, const Condition &condition) {
    if (condition.op == Operator::Contains)
        return ContainsIgnoringCase(shown, condition.text);
    int order = 0;
    const std::optional<double> number = condition.number ? LeadingNumber(shown) : std::nullopt;
    if (number)
        order = *number < *condition.number ? -1 : (*number > *condition.number ? 1 : 0);
    else
        order = CompareIgnoringCase(shown, Trimmed(condition.text));
    switch (condition.op) {
    case Operator::Equal:
        return order == 0;
    case Operator::NotEqual:
        return order != 0;
    case Operator::Less:
        return order < 0;
    case Operator::LessEqual:
        return order <= 0;
    case Operator::Greater:
        return order > 0;
    case Operator::GreaterEqual:
        return order >= 0;
    case Operator::Contains:
        break;
    }
    return false;
}

bool Holds(const Condition &condition, const PatchFacts &facts) {
    const ModuleFacts &module = facts.modules[condition.module];
    switch (condition.subject) {
    case Subject::ModuleOn:
        return module.lampOn;
    case Subject::ModuleOff:
        return !module.lampOn;
    case Subject::Model:
        // The search finds a model of its lists where the module is on and the model text the file
        // holds contains it; no model line of those five modules holds another list entry's name
        // that its model text lacks, so for those names both find the same patches.
        return module.lampOn &&
               ((!module.lines.empty() && ContainsIgnoringCase(module.lines.front(), condition.text)) ||
                ContainsIgnoringCase(module.modelText, condition.text));
    case Subject::KnobByRow:
        return condition.row < module.lines.size() &&
               Compare(ShownValue(module.lines[condition.row]), condition);
    case Subject::KnobByLabel: {
        const std::optional<std::string_view> value = ValueByLabel(module, condition.label);
        return value && Compare(*value, condition);
    }
    case Subject::Name:
        return condition.op == Operator::Contains ? ContainsIgnoringCase(facts.name, condition.text)
                                                  : EqualsIgnoringCase(facts.name, condition.text);
    case Subject::File:
        return condition.op == Operator::Contains ? ContainsIgnoringCase(facts.file, condition.text)
                                                  : EqualsIgnoringCase(facts.file, condition.text);
    }
    return false;
}

bool Evaluate(const PatchFilter &filter, std::uint32_t at, const PatchFacts &facts) {
    const Node &node = filter.nodes()[at];
    if (node.kind == Node::Kind::Condition)
        return Holds(filter.conditions()[node.condition], facts);
    const bool all = node.kind == Node::Kind::All;
    for (std::uint32_t child = at + 1; child < node.end; child = filter.nodes()[child].end)
        if (Evaluate(filter, child, facts) != all)
            return !all;
    return all;
}

} // namespace

std::optional<Module> FindModuleByName(std::string_view name) {
    const std::string key = NameKey(name);
    if (key.empty())
        return std::nullopt;
    for (const ModuleInfo &info : Modules())
        for (const std::string_view spelling : {info.name, info.context, info.caption})
            if (NameKey(spelling) == key)
                return info.module;
    return std::nullopt;
}

Result<PatchFilter> ParseFilter(std::string_view text) {
    Reader reader(text);
    if (!reader.Read())
        return Error::Refused(reader.message()).At(reader.errorAt());
    PatchFilter filter;
    filter.m_conditions = std::move(reader.conditions());
    filter.m_nodes = std::move(reader.nodes());
    return filter;
}

bool Matches(const PatchFilter &filter, const PatchFacts &facts) {
    return filter.empty() || Evaluate(filter, 0, facts);
}

} // namespace patchlens
