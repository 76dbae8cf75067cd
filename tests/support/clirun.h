#pragma once

#include "cli/commandline.h"
#include "coretest.h"

#include <QTextStream>

namespace Wordloom {

// A small pack with options, entities and a comment.
inline const QByteArray kCliPack
    = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<languagepack name='app' lang='de' version='1.0.3' date='then' project='demo'><content>"
      "<key id='greeting' encodeHTML='1' preserveLinebreaks='1' unixNewline='0'>"
      "<value>Hallo &lt;Welt&gt;&#13;\nzwei</value><comment>c</comment></key>"
      "<key id='bye' encodeHTML='0' preserveLinebreaks='0' unixNewline='0'><value>Tschüss</value></key>"
      "</content></languagepack>";

struct CliResult {
    int code;
    QString out, err;
};

// Runs wordloom-cli in the test's process, with the shipped plug-ins.
inline CliResult runCli(const QStringList &arguments, const Clock &clock)
{
    CliResult result;
    QTextStream out(&result.out), err(&result.err);
    result.code = runCommandLine(arguments, out, err, clock, QStringLiteral(WORDLOOM_SHIPPED_PLUGINS));
    out.flush();
    err.flush();
    return result;
}

} // namespace Wordloom
