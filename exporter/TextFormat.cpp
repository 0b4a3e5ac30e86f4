#include "exporter/TextFormat.h"

#include <charconv>
#include <cmath>

namespace jvo::exporter {

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

// A number as the library writes it: 16 significant digits in %g style.
void AppendValue(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "Nan";
    } else if (std::isinf(value)) {
        out += value < 0 ? "-Inf" : "+Inf";
    } else {
        char buffer[64];
        const auto r =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 16);
        out.append(buffer, r.ptr);
    }
}

void AppendCount(std::string& out, uint64_t value) {
    char buffer[24];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, r.ptr);
}

void AppendLabelValue(std::string& out, const std::string& value) {
    for (char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
}

// "name{labels[,extra="value"]} " of one sample.
void AppendHead(std::string& out, const MetricFamily& family, const ClientMetric& metric,
                const char* suffix = "", const char* extra = nullptr, double extraValue = 0) {
    out += family.name;
    out += suffix;
    if (!metric.label.empty() || extra) {
        out += '{';
        const char* comma = "";
        for (const ClientMetric::Label& l : metric.label) {
            out += comma;
            out += l.name;
            out += "=\"";
            AppendLabelValue(out, l.value);
            out += '"';
            comma = ",";
        }
        if (extra) {
            out += comma;
            out += extra;
            out += "=\"";
            AppendValue(out, extraValue);
            out += '"';
        }
        out += '}';
    }
    out += ' ';
}

const char* TypeName(MetricType type) {
    switch (type) {
        case MetricType::Counter:
            return "counter";
        case MetricType::Gauge:
            return "gauge";
        case MetricType::Summary:
            return "summary";
        case MetricType::Histogram:
            return "histogram";
        case MetricType::Untyped:
            break;
    }
    return "untyped";
}

}  // namespace

void AppendHeader(std::string& out, const MetricFamily& family) {
    out += "# HELP ";
    out += family.name;
    out += ' ';
    out += family.help;
    out += "\n# TYPE ";
    out += family.name;
    out += ' ';
    out += TypeName(family.type);
    out += '\n';
}

void AppendSamples(std::string& out, const MetricFamily& family) {
    for (const ClientMetric& m : family.metric) {
        switch (family.type) {
            case MetricType::Counter:
                AppendHead(out, family, m);
                AppendValue(out, m.counter.value);
                break;
            case MetricType::Histogram: {
                AppendHead(out, family, m, "_count");
                AppendCount(out, m.histogram.sample_count);
                out += '\n';
                AppendHead(out, family, m, "_sum");
                AppendValue(out, m.histogram.sample_sum);
                for (const ClientMetric::Bucket& b : m.histogram.bucket) {
                    out += '\n';
                    AppendHead(out, family, m, "_bucket", "le", b.upper_bound);
                    AppendCount(out, b.cumulative_count);
                }
                break;
            }
            case MetricType::Untyped:
                AppendHead(out, family, m);
                AppendValue(out, m.untyped.value);
                break;
            default:  // gauges (the exporter makes no summaries)
                AppendHead(out, family, m);
                AppendValue(out, m.gauge.value);
                break;
        }
        out += '\n';
    }
}

}  // namespace jvo::exporter
