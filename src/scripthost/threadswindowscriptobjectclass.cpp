#include "scripthost/threadswindowscriptobjectclass.h"

#include "script/escontext.h"
#include "script/esobject.h"

namespace {

ThreadsWindowScriptObjectClass &self(ESObject *function) {
    return *static_cast<ThreadsWindowScriptObjectClass *>(function->m_class);
}

// An array's elements as texts; any other value is one field.
QStringList texts(ESContext &c, const ESValue &value) {
    QStringList list;
    if (!value.isObject() || value.object->m_class != c.arrayClass()) {
        list << c.toText(value);
        return list;
    }
    ESObject *array = value.object;
    double length = c.toInteger(c.get(array, c.names().length));
    // A thread row has a handful of columns; a huge length is a script fault.
    if (length > 1024)
        c.throwRangeError(QStringLiteral("too many columns"));
    for (std::uint32_t i = 0; i < std::uint32_t(length); ++i)
        list << c.toText(c.get(array, c.indexName(i)));
    return list;
}

ESValue clear(ESContext &, ESObject *function, const ESValue &, int, ESValue *) {
    self(function).clear();
    return ESValue::undefined();
}

template <int table>
ESValue newqueue(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    self(function).table(table).queues.push_back({c.toText(argv[0]), {}});
    return ESValue::undefined();
}

template <int table>
ESValue add(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    return ESValue::fromBool(self(function).add(table, texts(c, argv[0])));
}

template <int table>
ESValue setColumns(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    self(function).table(table).columns = texts(c, argv[0]);
    return ESValue::undefined();
}

ESValue setSortByNumber(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    self(function).setSortByNumber(c.toBoolean(argv[0]));
    return ESValue::undefined();
}

ESValue setColor(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    std::uint32_t color = 0;
    if (argv[0].isNumber()) {
        color = c.toUint32(argv[0]) & 0xffffff;
    } else {
        QString text = c.toText(argv[0]).trimmed();
        bool ok = false;
        color = text.startsWith(QLatin1Char('#')) ? text.mid(1).toUInt(&ok, 16) : 0;
        if (!ok || text.size() != 7)
            c.throwTypeError(QStringLiteral("invalid color: ") + text);
    }
    self(function).setColor(color);
    return ESValue::undefined();
}

ESValue shown(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    return ESValue::fromBool(!self(function).collapsedQueues().contains(c.toText(argv[0])));
}

const ESMethodDef kMethods[] = {
    {"clear", "Debug.property.clear", 0, 0, clear,
     "<b>Debug.clear()</b> empties the thread lists."},
    {"newqueue", "Debug.property.newqueue", 1, 1, newqueue<0>,
     "<b>Debug.newqueue(name)</b> starts the group of threads <i>name</i>."},
    {"add", "Debug.property.add", 1, 2, add<0>,
     "<b>Debug.add(row)</b> adds a thread with the column texts of the array <i>row</i>."},
    {"setColumns", "Debug.property.setColumns", 1, 3, setColumns<0>,
     "<b>Debug.setColumns(names)</b> sets the column headings of the thread list."},
    {"setSortByNumber", "Debug.property.setSortByNumber", 1, 4, setSortByNumber,
     "<b>Debug.setSortByNumber(flag)</b> sorts the threads by number when <i>flag</i> is "
     "true."},
    {"setColor", "Debug.property.setColor", 1, 5, setColor,
     "<b>Debug.setColor(color)</b> draws the rows added next in <i>color</i>."},
    {"setColumns2", "Debug.property.setColumns2", 1, 6, setColumns<1>,
     "<b>Debug.setColumns2(names)</b> sets the column headings of the second list."},
    {"newqueue2", "Debug.property.newqueue2", 1, 7, newqueue<1>,
     "<b>Debug.newqueue2(name)</b> starts the group <i>name</i> of the second list."},
    {"add2", "Debug.property.add2", 1, 8, add<1>,
     "<b>Debug.add2(row)</b> adds a row to the second list."},
    {"shown", "Debug.property.shown", 1, 9, shown,
     "<b>Debug.shown(name)</b> returns true when the group <i>name</i> is shown."},
};

} // namespace

void ThreadsWindowScriptObjectClass::install(ESContext &context, const char *name) {
    ESClass::install(context, name);
    defineMethods(context, m_prototype, kMethods);
}

void ThreadsWindowScriptObjectClass::clear() {
    for (Table &table : m_tables)
        table.queues.clear();
    m_rows = 0;
}

bool ThreadsWindowScriptObjectClass::add(int index, QStringList fields) {
    if (m_rows >= m_limit) {
        if (m_rows == m_limit && m_report)
            m_report(QStringLiteral("Maximum thread number %1 to display has been reached. The "
                                    "project property Thread Maximum sets this value.")
                         .arg(m_limit));
        m_rows = m_limit + 1; // reported once per update
        return false;
    }
    ++m_rows;
    Table &table = m_tables[index];
    if (table.queues.empty())
        table.queues.push_back({});
    table.queues.back().rows.push_back({std::move(fields), m_color});
    return true;
}
