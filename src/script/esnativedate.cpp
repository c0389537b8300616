#include "script/esnativedate.h"

#include "script/escontext.h"
#include "script/esobject.h"
#include "script/esstring.h"

#include <QDateTime>
#include <QTimeZone>

#include <cmath>
#include <limits>

namespace {

// Time arithmetic on milliseconds since 1970-01-01 UTC: days, years and months counted
// the way the language defines them, proleptic Gregorian throughout.
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double msPerSecond = 1000;
constexpr double msPerMinute = 60000;
constexpr double msPerHour = 3600000;
constexpr double msPerDay = 86400000;

double positiveModulo(double a, double b) {
    double r = std::fmod(a, b);
    return r < 0 ? r + b : r;
}

double day(double t) {
    return std::floor(t / msPerDay);
}

double dayFromYear(double y) {
    return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) +
           std::floor((y - 1601) / 400);
}

double timeFromYear(double y) {
    return msPerDay * dayFromYear(y);
}

bool isLeapYear(double y) {
    return std::fmod(y, 4) == 0 && (std::fmod(y, 100) != 0 || std::fmod(y, 400) == 0);
}

double yearFromTime(double t) {
    double y = std::floor(t / (msPerDay * 365.2425)) + 1970;
    while (timeFromYear(y) > t)
        --y;
    while (timeFromYear(y + 1) <= t)
        ++y;
    return y;
}

// Days before the first of each month, in a common year.
constexpr int kMonthStart[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

double monthStart(int month, bool leap) {
    return kMonthStart[month] + (leap && month >= 2 ? 1 : 0);
}

double monthFromTime(double t) {
    double y = yearFromTime(t);
    double d = day(t) - dayFromYear(y);
    bool leap = isLeapYear(y);
    int m = 0;
    while (m < 11 && d >= monthStart(m + 1, leap))
        ++m;
    return m;
}

double dateFromTime(double t) {
    double y = yearFromTime(t);
    double d = day(t) - dayFromYear(y);
    return d - monthStart(int(monthFromTime(t)), isLeapYear(y)) + 1;
}

double hourFromTime(double t) {
    return positiveModulo(std::floor(t / msPerHour), 24);
}
double minFromTime(double t) {
    return positiveModulo(std::floor(t / msPerMinute), 60);
}
double secFromTime(double t) {
    return positiveModulo(std::floor(t / msPerSecond), 60);
}
double msFromTime(double t) {
    return positiveModulo(t, msPerSecond);
}

// Monday 1 to Sunday 7.
double weekDay(double t) {
    double d = positiveModulo(day(t) + 4, 7);
    return d == 0 ? 7 : d;
}

double makeTime(double hour, double minute, double second, double ms) {
    if (!std::isfinite(hour) || !std::isfinite(minute) || !std::isfinite(second) ||
        !std::isfinite(ms))
        return kNaN;
    return std::trunc(hour) * msPerHour + std::trunc(minute) * msPerMinute +
           std::trunc(second) * msPerSecond + std::trunc(ms);
}

double makeDay(double year, double month, double date) {
    if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date))
        return kNaN;
    year = std::trunc(year);
    month = std::trunc(month);
    date = std::trunc(date);
    double y = year + std::floor(month / 12);
    int m = int(positiveModulo(month, 12));
    if (std::fabs(y) > 400000)
        return kNaN;
    return dayFromYear(y) + monthStart(m, isLeapYear(y)) + date - 1;
}

double makeDate(double d, double time) {
    if (!std::isfinite(d) || !std::isfinite(time))
        return kNaN;
    return d * msPerDay + time;
}

double timeClip(double t) {
    if (!std::isfinite(t) || std::fabs(t) > 8.64e15)
        return kNaN;
    return std::trunc(t) + 0.0;
}

// The local time zone's offset from UTC at the UTC time t, in milliseconds.
double localOffset(double t) {
    if (!std::isfinite(t))
        return 0;
    QDateTime local = QDateTime::fromMSecsSinceEpoch(qint64(t), Qt::LocalTime);
    return local.isValid() ? double(local.offsetFromUtc()) * 1000 : 0;
}

double localTime(double t) {
    return t + localOffset(t);
}

double utc(double local) {
    return local - localOffset(local - localOffset(local));
}

QDateTime toDateTime(double t, Qt::TimeSpec zone) {
    return QDateTime::fromMSecsSinceEpoch(qint64(t), zone);
}

double parseDate(const QString &text) {
    QString s = text.trimmed();
    // toUTCString's form, "Thu Jan 1 00:00:00 1970 GMT": date and time read apart, since
    // the same text as a local time may fall into a daylight saving gap.
    if (s.endsWith(QLatin1String(" GMT"))) {
        const QStringList words = s.chopped(4).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() != 5)
            return kNaN;
        QDate date = QDate::fromString(
            QStringList{words[0], words[1], words[2], words[4]}.join(QLatin1Char(' ')),
            Qt::TextDate);
        QTime time = QTime::fromString(words[3], Qt::TextDate);
        if (!date.isValid() || !time.isValid())
            return kNaN;
        return timeClip(double(QDateTime(date, time, QTimeZone::utc()).toMSecsSinceEpoch()));
    }
    QDateTime dt = QDateTime::fromString(s, Qt::TextDate);
    if (!dt.isValid())
        dt = QDateTime::fromString(s, Qt::ISODateWithMs);
    if (!dt.isValid())
        dt = QDateTime::fromString(s, Qt::RFC2822Date);
    if (!dt.isValid()) {
        QDate date = QDate::fromString(s, Qt::TextDate);
        if (date.isValid())
            dt = date.startOfDay();
    }
    return dt.isValid() ? timeClip(double(dt.toMSecsSinceEpoch())) : kNaN;
}

double now() {
    return double(QDateTime::currentMSecsSinceEpoch());
}

QString textOf(double t, int form) {
    if (std::isnan(t))
        return QStringLiteral("Invalid Date");
    switch (form) {
    case 0:
        return toDateTime(t, Qt::LocalTime).toString(Qt::TextDate);
    case 1:
        return toDateTime(t, Qt::LocalTime).date().toString(Qt::TextDate);
    case 2:
        return toDateTime(t, Qt::LocalTime).time().toString(Qt::TextDate);
    default:
        return toDateTime(t, Qt::UTC).toString(Qt::TextDate);
    }
}

ESObject *thisDate(ESContext &c, const ESValue &self) {
    if (!self.isObject() || self.object->m_class != c.dateClass())
        c.throwTypeError(QStringLiteral("Date object required"));
    return self.object;
}

double timeOf(ESContext &c, const ESValue &self) {
    return thisDate(c, self)->m_value.number;
}

ESValue setTime(ESContext &c, const ESValue &self, double t) {
    ESObject *date = thisDate(c, self);
    date->m_value = ESValue::fromNumber(timeClip(t));
    return date->m_value;
}

template <int Form>
ESValue dateText(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    return c.newString(textOf(timeOf(c, self), Form));
}

ESValue dateValue(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    return ESValue::fromNumber(timeOf(c, self));
}

// Getters: a field of the local or the UTC time.
template <double (*Field)(double), bool Local>
ESValue dateField(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    double t = timeOf(c, self);
    if (std::isnan(t))
        return ESValue::fromNumber(kNaN);
    return ESValue::fromNumber(Field(Local ? localTime(t) : t));
}

ESValue dateTimezoneOffset(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    double t = timeOf(c, self);
    if (std::isnan(t))
        return ESValue::fromNumber(kNaN);
    return ESValue::fromNumber((t - localTime(t)) / msPerMinute);
}

ESValue dateSetTime(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    thisDate(c, self);
    return setTime(c, self, c.toNumber(argv[0]));
}

// The fields a setter may change, in order from the one it is named after.
enum Field { Year, Month, Date, Hours, Minutes, Seconds, Milliseconds };

// setXxx(first[, next, ...]): arguments that are absent keep their fields.
template <Field First, int MaxArguments, bool Local>
ESValue dateSet(ESContext &c, ESObject *, const ESValue &self, int argc, ESValue *argv) {
    double stored = timeOf(c, self);
    double t =
        std::isnan(stored) ? (First == Year ? 0.0 : kNaN) : (Local ? localTime(stored) : stored);
    double fields[7] = {yearFromTime(t), monthFromTime(t), dateFromTime(t), hourFromTime(t),
                        minFromTime(t),  secFromTime(t),   msFromTime(t)};
    if (std::isnan(t)) {
        for (double &f : fields)
            f = kNaN;
    }
    int given = std::min(std::max(argc, 1), MaxArguments);
    for (int i = 0; i < given && First + i <= Milliseconds; ++i)
        fields[First + i] = c.toNumber(argv[i]);
    double result =
        makeDate(makeDay(fields[Year], fields[Month], fields[Date]),
                 makeTime(fields[Hours], fields[Minutes], fields[Seconds], fields[Milliseconds]));
    return setTime(c, self, Local ? utc(result) : result);
}

double yearField(double t) {
    return yearFromTime(t);
}

// The year less 1900, also for years before 1900 and after 1999.
ESValue dateGetYear(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    double t = timeOf(c, self);
    if (std::isnan(t))
        return ESValue::fromNumber(kNaN);
    return ESValue::fromNumber(yearFromTime(localTime(t)) - 1900);
}

// Years 0 to 99 mean 1900 to 1999; other fields are kept, an invalid date starts at 0.
ESValue dateSetYear(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    double stored = timeOf(c, self);
    double t = std::isnan(stored) ? 0.0 : localTime(stored);
    double year = c.toNumber(argv[0]);
    if (std::isnan(year))
        return setTime(c, self, kNaN);
    double whole = std::trunc(year);
    if (whole >= 0 && whole <= 99)
        year = whole + 1900;
    double result =
        makeDate(makeDay(year, monthFromTime(t), dateFromTime(t)), positiveModulo(t, msPerDay));
    return setTime(c, self, utc(result));
}

ESValue dateParse(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    return ESValue::fromNumber(parseDate(c.toText(argv[0])));
}

ESValue dateCall(ESContext &c, ESObject *, const ESValue &, int, ESValue *) {
    return c.newString(textOf(now(), 0));
}

const ESMethodDef kConstructor = {"Date", "Date", 1, 0, dateCall};

const ESMethodDef kPrototypeMethods[] = {
    {"toString", "Date.prototype.toString", 0, 1, dateText<0>},
    {"toDateString", "Date.prototype.toDateString", 0, 2, dateText<1>},
    {"toTimeString", "Date.prototype.toTimeString", 0, 3, dateText<2>},
    {"toLocaleString", "Date.prototype.toLocaleString", 0, 4, dateText<0>},
    {"toLocaleDateString", "Date.prototype.toLocaleDateString", 0, 5, dateText<1>},
    {"toLocaleTimeString", "Date.prototype.toLocaleTimeString", 0, 6, dateText<2>},
    {"valueOf", "Date.prototype.valueOf", 0, 7, dateValue},
    {"getTime", "Date.prototype.getTime", 0, 8, dateValue},
    {"getFullYear", "Date.prototype.getFullYear", 0, 9, dateField<yearField, true>},
    {"getUTCFullYear", "Date.prototype.getUTCFullYear", 0, 10, dateField<yearField, false>},
    {"getMonth", "Date.prototype.getMonth", 0, 11, dateField<monthFromTime, true>},
    {"getUTCMonth", "Date.prototype.getUTCMonth", 0, 12, dateField<monthFromTime, false>},
    {"getDate", "Date.prototype.getDate", 0, 13, dateField<dateFromTime, true>},
    {"getUTCDate", "Date.prototype.getUTCDate", 0, 14, dateField<dateFromTime, false>},
    {"getDay", "Date.prototype.getDay", 0, 15, dateField<weekDay, true>},
    {"getUTCDay", "Date.prototype.getUTCDay", 0, 16, dateField<weekDay, false>},
    {"getHours", "Date.prototype.getHours", 0, 17, dateField<hourFromTime, true>},
    {"getUTCHours", "Date.prototype.getUTCHours", 0, 18, dateField<hourFromTime, false>},
    {"getMinutes", "Date.prototype.getMinutes", 0, 19, dateField<minFromTime, true>},
    {"getUTCMinutes", "Date.prototype.getUTCMinutes", 0, 20, dateField<minFromTime, false>},
    {"getSeconds", "Date.prototype.getSeconds", 0, 21, dateField<secFromTime, true>},
    {"getUTCSeconds", "Date.prototype.getUTCSeconds", 0, 22, dateField<secFromTime, false>},
    {"getMilliseconds", "Date.prototype.getMilliseconds", 0, 23, dateField<msFromTime, true>},
    {"getUTCMilliseconds", "Date.prototype.getUTCMilliseconds", 0, 24,
     dateField<msFromTime, false>},
    {"getTimezoneOffset", "Date.prototype.getTimezoneOffset", 0, 25, dateTimezoneOffset},
    {"setTime", "Date.prototype.setTime", 1, 26, dateSetTime},
    {"setMilliseconds", "Date.prototype.setMilliseconds", 1, 27, dateSet<Milliseconds, 1, true>},
    {"setUTCMilliseconds", "Date.prototype.setUTCMilliseconds", 1, 28,
     dateSet<Milliseconds, 1, false>},
    {"setSeconds", "Date.prototype.setSeconds", 2, 29, dateSet<Seconds, 2, true>},
    {"setUTCSeconds", "Date.prototype.setUTCSeconds", 2, 30, dateSet<Seconds, 2, false>},
    {"setMinutes", "Date.prototype.setMinutes", 2, 31, dateSet<Minutes, 3, true>},
    {"setUTCMinutes", "Date.prototype.setUTCMinutes", 3, 32, dateSet<Minutes, 3, false>},
    {"setHours", "Date.prototype.setHours", 4, 33, dateSet<Hours, 4, true>},
    {"setUTCHours", "Date.prototype.setUTCHours", 4, 34, dateSet<Hours, 4, false>},
    {"setDate", "Date.prototype.setDate", 1, 35, dateSet<Date, 1, true>},
    {"setUTCDate", "Date.prototype.setUTCDate", 1, 36, dateSet<Date, 1, false>},
    {"setMonth", "Date.prototype.setMonth", 2, 37, dateSet<Month, 2, true>},
    {"setUTCMonth", "Date.prototype.setUTCMonth", 2, 38, dateSet<Month, 2, false>},
    {"setFullYear", "Date.prototype.setFullYear", 3, 39, dateSet<Year, 3, true>},
    {"setUTCFullYear", "Date.prototype.setUTCFullYear", 3, 40, dateSet<Year, 3, false>},
    {"toUTCString", "Date.prototype.toUTCString", 0, 41, dateText<3>},
    {"getYear", "Date.prototype.getYear", 0, 42, dateGetYear},
    {"setYear", "Date.prototype.setYear", 1, 43, dateSetYear},
};

const ESMethodDef kConstructorMethods[] = {
    {"parse", "Date.parse", 1, 44, dateParse},
};

} // namespace

void ESNativeDate::install(ESContext &context, const char *) {
    ESObject *prototype = context.newObject(this, context.objectPrototype(), "Date");
    prototype->m_value = ESValue::fromNumber(kNaN);
    ESObject *constructor = installConstructor(context, kConstructor, prototype);
    defineMethods(context, prototype, kPrototypeMethods);
    defineMethods(context, constructor, kConstructorMethods);
}

ESObject *ESNativeDate::construct(ESContext &context, ESObject *function, int argc, ESValue *argv) {
    if (function->m_nativeIndex != 0)
        context.throwError(QStringLiteral("bad signature in builtin construct"));
    double t;
    if (argc == 0) {
        t = now();
    } else if (argc == 1) {
        ESValue v = context.toPrimitive(argv[0], ESContext::NoHint);
        t = v.isString() ? parseDate(v.string->text()) : timeClip(context.toNumber(v));
    } else {
        double fields[7] = {0, 0, 1, 0, 0, 0, 0};
        for (int i = 0; i < std::min(argc, 7); ++i)
            fields[i] = context.toNumber(argv[i]);
        double year = fields[0];
        if (!std::isnan(year) && std::trunc(year) >= 0 && std::trunc(year) <= 99)
            year = 1900 + std::trunc(year);
        double local = makeDate(makeDay(year, fields[1], fields[2]),
                                makeTime(fields[3], fields[4], fields[5], fields[6]));
        t = timeClip(utc(local));
    }
    ESObject *date = context.newObject(this, m_prototype, "Date");
    date->m_value = ESValue::fromNumber(t);
    return date;
}
