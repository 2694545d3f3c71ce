// SPDX-License-Identifier: Apache-2.0
// Completion scripts for bash and zsh, made from the command registry and the catalogue.

#include "completion.h"

#include "catalogue.h"
#include "clicontext.h"
#include "command.h"

#include <QStringList>

#include <set>

namespace lv {

namespace {

// The options a shell should offer: the hidden ones stay hidden.
QList<QCommandLineOption> shownOptions(const QList<QCommandLineOption>& options)
{
    QList<QCommandLineOption> shown;
    for (const QCommandLineOption& option : options)
        if (!option.flags().testFlag(QCommandLineOption::HiddenFromHelp))
            shown.append(option);
    return shown;
}

QList<QCommandLineOption> globalOptions()
{
    QList<QCommandLineOption> options = globalOptionList();
    options.append(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show the help.")));
    return shownOptions(options);
}

QStringList longNames(const QList<QCommandLineOption>& options)
{
    QStringList names;
    for (const QCommandLineOption& option : options)
        for (const QString& name : option.names())
            if (name.size() > 1)
                names.append(QStringLiteral("--") + name);
    return names;
}

QStringList valuedNames(const QList<QCommandLineOption>& options)
{
    QStringList names;
    for (const QCommandLineOption& option : options)
        if (!option.valueName().isEmpty())
            names += longNames({option});
    return names;
}

// Every tag a window sends and the role of each that has one: the names a set command and a plan take.
QStringList settingNames()
{
    std::set<std::string> tags;
    for (const WindowDef& window : windowCatalogue())
        for (const FieldDef& field : window.fields)
            if (!field.tag.empty() && window.sendsTag(field.tag)) {
                tags.insert(field.tag);
                if (!field.role.empty())
                    tags.insert(field.role);
            }
    QStringList names;
    for (const std::string& tag : tags)
        names.append(QString::fromStdString(tag));
    return names;
}

// Options whose value is a file name.
bool takesFile(const QString& longName)
{
    return longName.endsWith(QStringLiteral("-file"));
}

// The first sentence of a description, fit for zsh's [help] and 'name:help' forms.
QString zshHelp(const QString& description)
{
    QString text = description.section(QStringLiteral(". "), 0, 0);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.remove(QLatin1Char('['));
    text.remove(QLatin1Char(']'));
    text.replace(QLatin1Char(':'), QLatin1Char(' '));
    text.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return text.simplified();
}

QString bashScript()
{
    const QList<QCommandLineOption> global = globalOptions();
    QStringList commands;
    QStringList valued = valuedNames(global);
    QString perCommand;
    for (const auto& command : commandRegistry()) {
        commands.append(command.name);
        const QList<QCommandLineOption> own = shownOptions(command.options);
        valued += valuedNames(own);
        perCommand +=
            QStringLiteral("        %1) own=\"%2\" ;;\n").arg(command.name, longNames(own).join(QLatin1Char(' ')));
    }
    valued.removeDuplicates();
    QStringList files;
    for (const QString& name : valued)
        if (takesFile(name))
            files.append(name);

    QString s;
    s += QStringLiteral("# bash completion for linkvane-cli (written by linkvane-cli --completion bash)\n\n");
    s += QStringLiteral("_linkvane_cli()\n{\n");
    s += QStringLiteral("    local cur=${COMP_WORDS[COMP_CWORD]} prev=\n");
    s += QStringLiteral("    [ \"$COMP_CWORD\" -gt 0 ] && prev=${COMP_WORDS[COMP_CWORD-1]}\n");
    s += QStringLiteral("    local commands=\"%1\"\n").arg(commands.join(QLatin1Char(' ')));
    s += QStringLiteral("    local global=\"%1\"\n").arg(longNames(global).join(QLatin1Char(' ')));
    s += QStringLiteral("    local names=\"%1\"\n").arg(settingNames().join(QLatin1Char(' ')));
    s += QStringLiteral("    COMPREPLY=()\n\n");
    s += QStringLiteral("    # The value of an option.\n    case $prev in\n");
    if (!files.isEmpty())
        s += QStringLiteral("        %1)\n            COMPREPLY=($(compgen -f -- \"$cur\"))\n            return ;;\n")
                 .arg(files.join(QLatin1Char('|')));
    s += QStringLiteral("        --interface)\n"
                        "            COMPREPLY=($(compgen -W \"all $(command ls /sys/class/net 2>/dev/null)\" -- "
                        "\"$cur\"))\n            return ;;\n");
    s += QStringLiteral("        %1)\n            return ;;\n    esac\n\n").arg(valued.join(QLatin1Char('|')));
    s += QStringLiteral("    # The command: the first word that is neither an option nor an option's value.\n");
    s += QStringLiteral("    local i word command= operands=0\n");
    s += QStringLiteral(
        "    for ((i = 1; i < COMP_CWORD; i++)); do\n        word=${COMP_WORDS[i]}\n        case $word in\n");
    // bash splits "--port=5" and "NAME=VALUE" at the "=": what follows an "=" is a value.
    s += QStringLiteral("            %1)\n                [[ ${COMP_WORDS[i+1]} == = ]] || ((i++)) ;;\n")
             .arg(valued.join(QLatin1Char('|')));
    s += QStringLiteral("            =)\n                ((i++)) ;;\n");
    s += QStringLiteral("            -*) ;;\n");
    s += QStringLiteral(
        "            *)\n                if [ -z \"$command\" ]; then command=$word; else ((operands++)); fi ;;\n");
    s += QStringLiteral("        esac\n    done\n\n");
    s += QStringLiteral("    if [ -z \"$command\" ]; then\n");
    s += QStringLiteral("        if [[ $cur == -* ]]; then\n");
    s += QStringLiteral("            COMPREPLY=($(compgen -W \"$global --version\" -- \"$cur\"))\n");
    s += QStringLiteral("        else\n            COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\"))\n        fi\n");
    s += QStringLiteral("        return\n    fi\n\n");
    s += QStringLiteral("    local own=\n    case $command in\n") + perCommand +
         QStringLiteral("        *) return ;;\n    esac\n");
    s += QStringLiteral("    if [[ $cur == -* ]]; then\n");
    s += QStringLiteral("        COMPREPLY=($(compgen -W \"$own $global\" -- \"$cur\"))\n        return\n    fi\n\n");
    s += QStringLiteral("    # The operands.\n    case $command in\n");
    s += QStringLiteral("        help)\n            [ \"$operands\" -eq 0 ] && COMPREPLY=($(compgen -W \"$commands\" "
                        "-- \"$cur\")) ;;\n");
    s += QStringLiteral("        set)\n"
                        "            # DEVICE first, then NAME=VALUE: the name is completed up to its \"=\".\n"
                        "            if [ \"$operands\" -ge 1 ] && [[ $cur != *=* ]]; then\n"
                        "                COMPREPLY=($(compgen -S = -W \"$names\" -- \"$cur\"))\n"
                        "                compopt -o nospace 2>/dev/null\n"
                        "            fi ;;\n");
    s += QStringLiteral("        apply)\n            COMPREPLY=($(compgen -f -- \"$cur\")) ;;\n");
    s += QStringLiteral("    esac\n}\n\ncomplete -F _linkvane_cli linkvane-cli\n");
    return s;
}

QString zshOptionEntry(const QCommandLineOption& option)
{
    const QStringList names = option.names();
    const QString help = zshHelp(option.description());
    QString value;
    if (!option.valueName().isEmpty()) {
        const QString longName = names.back();
        value =
            QStringLiteral(":%1:%2").arg(option.valueName().toLower().remove(QLatin1Char(':')),
                                         takesFile(longName)                       ? QStringLiteral("_files")
                                         : longName == QStringLiteral("interface") ? QStringLiteral("_net_interfaces")
                                                                                   : QString());
    }
    if (names.size() == 1) {
        const QString dash = names.front().size() == 1 ? QStringLiteral("-") : QStringLiteral("--");
        return QStringLiteral("'%1%2[%3]%4'").arg(dash, names.front(), help, value);
    }
    QStringList dashed;
    for (const QString& name : names)
        dashed.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    return QStringLiteral("'(%1)'{%2}'[%3]%4'")
        .arg(dashed.join(QLatin1Char(' ')), dashed.join(QLatin1Char(',')), help, value);
}

QString zshScript()
{
    const QList<QCommandLineOption> global = globalOptions();
    QString s;
    s += QStringLiteral(
        "#compdef linkvane-cli\n# zsh completion for linkvane-cli (written by linkvane-cli --completion zsh)\n\n");
    s += QStringLiteral("_linkvane-cli() {\n");
    s += QStringLiteral("    local -a global commands names\n");
    s += QStringLiteral("    global=(\n");
    for (const QCommandLineOption& option : global)
        s += QStringLiteral("        %1\n").arg(zshOptionEntry(option));
    s += QStringLiteral("    )\n    commands=(\n");
    for (const auto& command : commandRegistry())
        s += QStringLiteral("        '%1:%2'\n").arg(command.name, zshHelp(command.summary));
    s += QStringLiteral("    )\n    names=(%1)\n\n").arg(settingNames().join(QLatin1Char(' ')));
    s += QStringLiteral("    local curcontext=$curcontext state state_descr line ret=1\n");
    s += QStringLiteral("    typeset -A opt_args\n");
    s += QStringLiteral("    _arguments -C $global '--version[Show the version]' '1:command:->command' "
                        "'*::operand:->operand' && ret=0\n");
    s += QStringLiteral("    case $state in\n");
    s += QStringLiteral("    command)\n        _describe -t commands 'linkvane-cli command' commands && ret=0 ;;\n");
    s += QStringLiteral("    operand)\n        curcontext=${curcontext%:*}-$words[1]:\n        case $words[1] in\n");
    for (const auto& command : commandRegistry()) {
        QStringList entries;
        for (const QCommandLineOption& option : shownOptions(command.options))
            entries.append(zshOptionEntry(option));
        QString operands;
        if (command.name == QStringLiteral("help"))
            operands = QStringLiteral("'1:command:(%1)'").arg([] {
                QStringList n;
                for (const auto& c : commandRegistry())
                    n.append(c.name);
                return n.join(QLatin1Char(' '));
            }());
        else if (command.name == QStringLiteral("set"))
            operands = QStringLiteral("'1:device:' '*:setting:->setting'");
        else if (command.name == QStringLiteral("apply"))
            operands = QStringLiteral("'1:plan:_files'");
        else if (!command.operands.isEmpty())
            operands = QStringLiteral("'*:device:'");
        s += QStringLiteral("        %1)\n            _arguments -C $global %2 %3 && ret=0 ;;\n")
                 .arg(command.name, entries.join(QLatin1Char(' ')), operands);
    }
    s += QStringLiteral("        esac\n");
    s += QStringLiteral("        if [[ $state == setting ]]; then\n"
                        "            compset -P '*='\n"
                        "            [[ -z $IPREFIX ]] && compadd -S = -- $names && ret=0\n"
                        "        fi ;;\n");
    s += QStringLiteral("    esac\n    return ret\n}\n\n_linkvane-cli \"$@\"\n");
    return s;
}

} // namespace

std::optional<QString> completionScript(const QString& shell)
{
    if (shell == QStringLiteral("bash"))
        return bashScript();
    if (shell == QStringLiteral("zsh"))
        return zshScript();
    return std::nullopt;
}

} // namespace lv
