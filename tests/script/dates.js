// Dates, run with the time zone set to UTC.

var epoch = new Date(0)
print("epoch", epoch.getTime(), epoch.valueOf(), epoch.getFullYear(), epoch.getMonth(),
      epoch.getDate(), epoch.getHours(), epoch.getTimezoneOffset())
print("text", epoch.toString(), "|", epoch.toDateString(), "|", epoch.toTimeString(), "|",
      epoch.toUTCString(), "|", epoch.toLocaleString() == epoch.toString())

// Year, month (from 0), day, hours, minutes, seconds, milliseconds in local time.
var d = new Date(2024, 1, 29, 13, 45, 30, 250)
print("fields", d.getFullYear(), d.getMonth(), d.getDate(), d.getHours(), d.getMinutes(),
      d.getSeconds(), d.getMilliseconds(), d.getTime())
print("utc fields", d.getUTCFullYear(), d.getUTCMonth(), d.getUTCDate(), d.getUTCHours(),
      d.getUTCMinutes(), d.getUTCSeconds(), d.getUTCMilliseconds())

// Days of the week run from 1 (Monday) to 7 (Sunday).
var week = []
for (var day = 1; day <= 7; day++) week.push(new Date(2024, 0, day).getDay())
print("weekdays from Monday 2024-01-01", week, new Date(2024, 0, 7).getUTCDay())

// Two-digit years are in the twentieth century; out-of-range fields carry over.
print("two-digit year", new Date(99, 0, 1).getFullYear(), new Date(100, 0, 1).getFullYear())
print("carry", new Date(2023, 12, 1).getFullYear(), new Date(2023, 0, 32).getMonth(),
      new Date(2024, 2, 0).getDate())

// Setters change their fields; absent arguments keep the others.
var s = new Date(2020, 5, 15, 10, 20, 30, 400)
s.setMinutes(5)
print("setMinutes", s.getHours(), s.getMinutes(), s.getSeconds(), s.getMilliseconds())
s.setHours(23, 59)
print("setHours", s.getHours(), s.getMinutes(), s.getSeconds())
s.setMonth(0)
print("setMonth", s.getMonth(), s.getDate())
s.setFullYear(2021, 11, 31)
print("setFullYear", s.getFullYear(), s.getMonth(), s.getDate())
s.setDate(1)
s.setSeconds(9, 8)
s.setMilliseconds(7)
print("more setters", s.getDate(), s.getSeconds(), s.getMilliseconds())
s.setUTCHours(1)
s.setUTCDate(2)
s.setUTCMonth(2)
s.setUTCFullYear(2000)
s.setUTCMinutes(3)
s.setUTCSeconds(4)
s.setUTCMilliseconds(5)
print("utc setters", s.getTime(), s.toUTCString())
print("setTime", s.setTime(86400000), s.getDate())

// Text and numbers construct too; invalid input gives an invalid date.
print("from number", new Date(1e12).getFullYear(), new Date(8.64e15 + 1).getTime())
print("from text", new Date("Thu Jan 1 00:00:10 1970").getTime(),
      new Date("1970-01-02T00:00:00Z").getTime(), new Date("not a date").getTime(),
      new Date("not a date").toString(), new Date(NaN).getFullYear())
print("compare", new Date(5) < new Date(6), new Date(5) - new Date(2))
print("called as a function", typeof Date())

"dates done"
