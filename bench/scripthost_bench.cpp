// 10^6 calls of an invokable add(int, int) through the Qt binding against the same calls of a
// plain native method, in interleaved pairs; prints the median ratio and fails above 3.
#include "scripthost_bench.h"

#include "script/esclass.h"
#include "script/escontext.h"
#include "scripthost/qobjectesclass.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

ESValue nativeAdd(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    return ESValue::fromNumber(c.toInt32(argv[0]) + c.toInt32(argv[1]));
}

class NativeAdder : public ESClass {
public:
    void install(ESContext &context, const char *name) override {
        static const ESMethodDef kMethods[] = {{"add", "native.prototype.add", 2, 0, nativeAdd}};
        ESClass::install(context, name);
        defineMethods(context, m_prototype, kMethods);
    }
};

const char kLoop[] = "var s = 0; for (var i = 0; i < 1000000; i++) s = %1.add(s, 1); s";

double seconds(ESContext &context, const char *object) {
    QString source = QString::fromLatin1(kLoop).arg(QLatin1String(object));
    auto start = std::chrono::steady_clock::now();
    ESCompletion completion = context.evaluate(QString(), source);
    auto end = std::chrono::steady_clock::now();
    if (completion.type != ESCompletion::Normal || context.toNumber(completion.value) != 1000000) {
        std::fprintf(stderr, "the %s loop failed\n", object);
        std::exit(1);
    }
    return std::chrono::duration<double>(end - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    Adder adder;
    ESContext context;
    context.adoptClass(std::make_unique<QObjectESClass>(&adder))->install(context, "bound");
    context.adoptClass(std::make_unique<NativeAdder>())->install(context, "native");
    std::vector<double> native, bound, ratios;
    for (int round = 0; round < 7; ++round) {
        native.push_back(seconds(context, "native"));
        bound.push_back(seconds(context, "bound"));
        ratios.push_back(bound.back() / native.back());
    }
    double ratio = median(ratios);
    std::printf("10^6 calls of add(int, int): native %.1f ms, bound %.1f ms (medians), "
                "median ratio %.2f (limit 3)\n",
                median(native) * 1000, median(bound) * 1000, ratio);
    return ratio <= 3 ? 0 : 1;
}
