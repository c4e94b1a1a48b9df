#include "tallies_object.h"

namespace kestview {

bool Tallies::refresh() const { return call(u"Refresh").value.toBool("ITallies.Refresh"); }

qint32 Tallies::counter(const QString& name) const {
    const std::u16string member = name.toStdU16String();
    return get(member.c_str()).value.toLong("ITallies." + name);
}

std::vector<qint32> Tallies::rawTallies() const { return get(u"RawTallies").value.toIntegers("ITallies.RawTallies"); }

}  // namespace kestview
