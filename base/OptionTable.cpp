#include "base/OptionTable.h"

#include "base/CmdLine.h"

namespace jvo::cmdline {

namespace {

std::string Worded(const std::string& pattern, std::string_view what) {
    std::string text = pattern;
    const size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, what);
    return text;
}

bool LooksLikeOption(const std::string& arg, Looks looks) {
    switch (looks) {
        case Looks::DOUBLE_DASH:
            return arg.size() >= 3 && arg.compare(0, 2, "--") == 0;
        case Looks::DASH:
            return arg.size() >= 2 && arg[0] == '-';
        case Looks::ANY_DASH:
            return !arg.empty() && arg[0] == '-';
    }
    return false;
}

// The row of `arg`, whose name up to '=' is `name`; null when there is none.
const Option* RowOf(const std::vector<Option>& rows, const std::string& arg, std::string_view name,
                    bool inlineValue) {
    for (const Option& row : rows) {
        if (row.shortName != 0 && arg.size() == 2 && arg[0] == '-' && arg[1] == row.shortName)
            return &row;
        if (row.name.size() > 2 && row.name.compare(0, 2, "--") == 0 && row.name == name &&
            !(row.exact && inlineValue))
            return &row;
    }
    return nullptr;
}

std::vector<std::string> SplitInlineValues(const std::vector<std::string>& args) {
    std::vector<std::string> split;
    for (const std::string& a : args) {
        std::string_view name, value;
        if (SplitInlineValue(a, name, value)) {
            split.emplace_back(name);
            split.emplace_back(value);
        } else {
            split.push_back(a);
        }
    }
    return split;
}

}  // namespace

std::vector<std::string> ArgumentsOf(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i] ? argv[i] : "");
    return args;
}

bool ParseOptions(const std::vector<Option>& rows, const OptionStyle& style,
                  const std::vector<std::string>& given, std::vector<std::string>& arguments,
                  std::string& error, const ForeignOptions& foreign) {
    const std::vector<std::string> args = style.splitFirst ? SplitInlineValues(given) : given;
    std::vector<bool> seen(rows.size(), false);
    const auto fail = [&error](const std::string& pattern, std::string_view what) {
        error = Worded(pattern, what);
        return false;
    };
    bool ended = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!ended && style.dashDashEnds && a == "--") {
            ended = true;
            continue;
        }
        std::string_view name = a, inlineValue;
        const bool hasInline = !ended && SplitInlineValue(a, name, inlineValue);
        const Option* row = ended ? nullptr : RowOf(rows, a, name, hasInline);
        if (!row) {
            if (!ended && foreign) {
                const int taken = foreign(args, i, error);
                if (taken < 0) return false;
                if (taken > 0) {
                    i += static_cast<size_t>(taken) - 1;
                    continue;
                }
            }
            if (!ended && LooksLikeOption(a, style.looks)) return fail(style.unknown, name);
            if (!style.unexpected.empty()) return fail(style.unexpected, a);
            arguments.push_back(a);
            continue;
        }
        const size_t index = static_cast<size_t>(row - rows.data());
        const bool refuseTwice = !style.twice.empty() && !row->again && seen[index];
        const std::string& missing = row->missing.empty() ? style.needsValue : row->missing;
        std::string value;
        bool haveValue = false;
        if (row->takes == Takes::NOTHING) {
            if (refuseTwice && style.twiceFlags) return fail(style.twice, name);
            if (hasInline) return fail(style.noValue, name);
        } else {
            if (refuseTwice && style.twiceFirst) return fail(style.twice, name);
            if (hasInline) {
                value.assign(inlineValue);
                haveValue = true;
            } else if (row->takes == Takes::VALUE) {
                if (i + 1 >= args.size()) return fail(missing, name);
                value = args[++i];
                haveValue = true;
            } else if (i + 1 < args.size() && args[i + 1].compare(0, 2, "--") != 0) {
                value = args[++i];
                haveValue = true;
            }
            if (haveValue && value.empty() && style.emptyIsMissing) return fail(missing, name);
            if (refuseTwice) return fail(style.twice, name);
        }
        seen[index] = true;
        if (row->take &&
            !row->take(haveValue ? std::string_view(value) : std::string_view(), error))
            return false;
        if (row->ends) return true;
    }
    return true;
}

std::string OptionHelp(const std::vector<Option>& rows, size_t column, bool ownLine) {
    std::string text;
    for (const Option& row : rows) {
        if (row.help.empty()) continue;
        if (row.name.empty() && row.shortName == 0) {
            text += row.help + "\n";
            continue;
        }
        std::string line = "  " + (row.name.empty() ? std::string("-") + row.shortName : row.name);
        if (!row.meta.empty()) line += " " + row.meta;
        if (line.size() < column)
            line.append(column - line.size(), ' ');
        else if (ownLine)
            line += "\n" + std::string(column, ' ');
        else
            line += "  ";
        size_t start = 0;
        for (size_t end; (end = row.help.find('\n', start)) != std::string::npos; start = end + 1)
            line += row.help.substr(start, end + 1 - start) + std::string(column, ' ');
        text += line + row.help.substr(start) + "\n";
    }
    return text;
}

TakeValue SetFlag(bool& flag) {
    return [&flag](std::string_view, std::string&) {
        flag = true;
        return true;
    };
}

TakeValue KeepText(std::string& text) {
    return [&text](std::string_view value, std::string&) {
        text.assign(value);
        return true;
    };
}

Option HelpOption(bool& wanted, std::string help, bool ends) {
    return {.name = "--help",
            .shortName = 'h',
            .help = std::move(help),
            .take = SetFlag(wanted),
            .ends = ends,
            .again = true,
            .exact = true};
}

Option VersionOption(bool& wanted, std::string help, bool ends) {
    return {.name = "--version",
            .help = std::move(help),
            .take = SetFlag(wanted),
            .ends = ends,
            .again = true,
            .exact = true};
}

}  // namespace jvo::cmdline
