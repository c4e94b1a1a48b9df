#!/usr/bin/python3
"""Retrieves an adapter's production data area, lists its records, adds a record, commits the
area, reads it back to check, and (unless --keep) removes the record again and commits, so the
adapter is left as it was."""
import argparse

import bench_common


def records(pda):
    """{key: (code, data bytes)} of the PDA object's items."""
    return {pdr.Key: (pdr.Code, pdr.PDR) for pdr in pda}


def show(pda):
    for pdr in pda:
        data = pdr.PDR
        shown = data[:16].hex(" ") + (" ..." if len(data) > 16 else "")
        print(f"    {pdr.Key}  length {pdr.Length:3}  {shown}")


def retrieve(pda):
    if pda.Retrieve() != 1:
        raise bench_common.ExampleError("the production data area could not be read")


def commit(pda):
    # Commit writes the records in key order and closes the area with a fresh end record.
    if pda.Commit() != 1:
        raise bench_common.ExampleError("the production data area could not be written")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    bench_common.add_adapter_option(parser)
    parser.add_argument("--code", type=lambda s: int(s, 0), default=0x0F10,
                        help="code of the record to add (default 0x0F10)")
    parser.add_argument("--data", default="Bench note", help="text stored in the record")
    parser.add_argument("--keep", action="store_true", help="leave the record in the area")
    args = parser.parse_args(argv)
    key = f"{args.code:04x}"
    data = args.data.encode("ascii")
    data += b"\0" * (len(data) % 2)  # records hold whole words

    with bench_common.opened_adapter(args.adapter) as (adapter, vireo):
        pda = vireo.PDA
        retrieve(pda)
        before = records(pda)
        print(f"Adapter {adapter.Enumerator}: {pda.Count} production data records")
        show(pda)
        if key in before:
            raise bench_common.ExampleError(f"record {key} is already present; choose another --code")

        if pda.AddPDR(args.code) != 1:
            raise bench_common.ExampleError(f"record {key} could not be added")
        pdr = pda.Item(key)
        pdr.PDR = data
        pdr.Description = args.data
        commit(pda)
        retrieve(pda)
        after = records(pda)
        if after.get(key, (None, b""))[1] != data:
            raise bench_common.ExampleError(f"record {key} did not read back as written")
        print(f"  Added record {key} ({len(data)} bytes) and committed; it reads back as written:")
        show(pda)

        if not args.keep:
            pda.RemovePDR(key)
            commit(pda)
            retrieve(pda)
            if records(pda) != before:
                raise bench_common.ExampleError("the area does not read back as it was")
            print(f"  Removed record {key} again and committed: the area is as it was.")
    return 0


if __name__ == "__main__":
    bench_common.run(main, "edit_pda")
