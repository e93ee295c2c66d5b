// The inflater on hand-written streams: zlib headers, stored, fixed and
// dynamic blocks, copies, the end-of-input and output-capacity rules, and
// the Huffman trees with their odd results on incomplete and over-subscribed
// codes.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "png/inflate.h"
#include "png_kit.h"

namespace {

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// One final stored block holding "abc".
const Bytes stored_abc = {0x01, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b', 'c'};

// A final fixed block: the given symbols (literals 0-255, lengths 257-287,
// each length followed by its extra bits and distance) and then 256.
struct FixedItem {
  uint32_t symbol;
  uint32_t extra_bits = 0;  // value of the length's extra bits
  uint32_t extra_count = 0;
  uint32_t distance_symbol = 0;
  uint32_t distance_extra = 0;
  uint32_t distance_extra_count = 0;
};

BitWriter fixed_block(const std::vector<FixedItem>& items, bool final_block = true,
                      bool end = true) {
  BitWriter w;
  w.bits(final_block ? 1 : 0, 1);
  w.bits(1, 2);
  for (const FixedItem& item : items) {
    w.fixed_symbol(item.symbol);
    if (item.symbol > 256 && item.symbol <= 285) {
      w.bits(item.extra_bits, item.extra_count);
      w.fixed_distance(item.distance_symbol);
      w.bits(item.distance_extra, item.distance_extra_count);
    }
  }
  if (end) w.fixed_symbol(256);
  return w;
}

std::vector<FixedItem> literals(const std::string& s) {
  std::vector<FixedItem> items;
  for (char c : s) items.push_back({uint8_t(c)});
  return items;
}

Inflated run(const BitWriter& w, uint32_t capacity) { return inflate(zlib_wrap(w.bytes), capacity); }

std::string as_text(const Bytes& b, size_t n) { return std::string(b.begin(), b.begin() + n); }

TEST(ZlibHeader, AcceptedAndRefused) {
  for (auto header : {std::pair{0x78, 0x01}, {0x78, 0x9C}, {0x78, 0xDA}}) {
    const Bytes stream = concat({{uint8_t(header.first), uint8_t(header.second)}, stored_abc});
    const Inflated r = inflate(stream, 3);  // no Adler-32 at all
    EXPECT_EQ(r.error, IMAGE_OK) << header.second;
    EXPECT_EQ(r.out, text("abc"));
  }
  std::set<uint32_t> sites;
  auto refused = [&](Bytes stream) {
    Inflated r = inflate(stream, 3);
    EXPECT_EQ(r.error, IMAGE_ERR_CORRUPT) << int(stream.size() > 1 ? stream[1] : 0);
    EXPECT_EQ(r.out, Bytes(3, 0xEE));
    sites.insert(r.error_site);
  };
  refused({});
  refused({0x78});
  refused(concat({{0x78, 0x9D}, stored_abc}));  // FCHECK
  refused(concat({{0x77, 0x09}, stored_abc}));  // CM 7
  refused(concat({{0x88, 0x1C}, stored_abc}));  // CINFO 8
  refused(concat({{0x78, 0xBB}, stored_abc}));  // passes FCHECK, asks for a dictionary
  EXPECT_EQ(sites.size(), 4u);
  // A record that already failed is left alone.
  Image failed{};
  failed.error = IMAGE_ERR_SIGNATURE;
  failed.error_site = 3;
  uint8_t out[3] = {};
  const Bytes good = zlib_wrap(stored_abc);
  uint32_t written = 7;
  EXPECT_EQ(zlib_decompress(&failed, out, 3, good.data(), uint32_t(good.size()), written),
            IMAGE_ERR_SIGNATURE);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(failed.error_site, 3u);
  EXPECT_EQ(out[0], 0);
  // A wrong Adler-32 trailer is never looked at.
  const Inflated wrong_adler = inflate(concat({{0x78, 0x01}, stored_abc, {1, 2, 3, 4}}), 3);
  EXPECT_EQ(wrong_adler.error, IMAGE_OK);
}

TEST(StoredBlocks, LengthsAndLimits) {
  // Empty stored blocks anywhere, also with the output already full.
  const Bytes empty_then_data_then_empty = {0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x02, 0x00,
                                            0xFD, 0xFF, 'h',  'i',  0x01, 0x00, 0x00, 0xFF, 0xFF};
  const Inflated ok = inflate(zlib_wrap(empty_then_data_then_empty), 2);
  EXPECT_EQ(ok.error, IMAGE_OK);
  EXPECT_EQ(ok.out, text("hi"));

  std::set<uint32_t> sites;
  auto refused = [&](const Bytes& body, uint32_t capacity) {
    const Inflated r = inflate(concat({{0x78, 0x01}, body}), capacity);
    EXPECT_EQ(r.error, IMAGE_ERR_CORRUPT);
    sites.insert(r.error_site);
  };
  refused({0x01, 0x03, 0x00, 0xFC}, 3);                           // header past the input
  refused({0x01, 0x03, 0x00, 0xFC, 0xFE, 'a', 'b', 'c'}, 3);      // NLEN not ~LEN
  refused({0x01, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b', 'c'}, 2);      // more than the output holds
  refused({0x01, 0x04, 0x00, 0xFB, 0xFF, 'a', 'b', 'c'}, 9);      // data past the input
  EXPECT_EQ(sites.size(), 4u);

  // A stored block after a fixed one starts at the next byte boundary.
  BitWriter w = fixed_block(literals("ab"), false);
  w.bits(1, 1);
  w.bits(0, 2);
  w.align();
  w.bytes.insert(w.bytes.end(), {0x01, 0x00, 0xFE, 0xFF, 'c'});
  const Inflated mixed = run(w, 3);
  EXPECT_EQ(mixed.error, IMAGE_OK);
  EXPECT_EQ(mixed.out, text("abc"));
}

TEST(FixedBlocks, CopiesRepeatTheLastBytes) {
  // Distance 1, length 258 (symbol 285, no extra bits): the previous byte 258 times.
  const Inflated run_of_x = run(fixed_block({{'x'}, {285, 0, 0, 0}}), 259);
  EXPECT_EQ(run_of_x.error, IMAGE_OK);
  EXPECT_EQ(run_of_x.out, Bytes(259, 'x'));
  // Distance 3 (symbol 2), length 7 (symbol 261) after a, b, c.
  std::vector<FixedItem> items = literals("abc");
  items.push_back({261, 0, 0, 2});
  const Inflated cycle = run(fixed_block(items), 10);
  EXPECT_EQ(cycle.error, IMAGE_OK);
  EXPECT_EQ(as_text(cycle.out, 10), "abcabcabca");
  // Extra bits: length symbol 265 + 1 = 12, distance symbol 4 + 1 = 6.
  items = literals("uvwxyz");
  items.push_back({265, 1, 1, 4, 1, 1});
  const Inflated extra = run(fixed_block(items), 18);
  EXPECT_EQ(extra.error, IMAGE_OK);
  EXPECT_EQ(as_text(extra.out, 18), "uvwxyzuvwxyzuvwxyz");
  // Symbols 286 and 287 have codes in the fixed code and yield nothing.
  const Inflated skipped = run(fixed_block({{'a'}, {286}, {287}, {'b'}}), 2);
  EXPECT_EQ(skipped.error, IMAGE_OK);
  EXPECT_EQ(skipped.out, text("ab"));
}

TEST(FixedBlocks, DistancesOutOfRange) {
  std::set<uint32_t> sites;
  for (uint32_t symbol : {30u, 31u}) {
    const Inflated r = run(fixed_block({{'a'}, {257, 0, 0, symbol}}), 8);
    EXPECT_EQ(r.error, IMAGE_ERR_CORRUPT) << symbol;
    sites.insert(r.error_site);
  }
  // A reference farther back than the bytes produced so far.
  std::vector<FixedItem> items = literals("abc");
  items.push_back({257, 0, 0, 3});  // distance 4
  const Inflated far = run(fixed_block(items), 8);
  EXPECT_EQ(far.error, IMAGE_ERR_CORRUPT);
  sites.insert(far.error_site);
  EXPECT_EQ(sites.size(), 2u);
  EXPECT_EQ(as_text(far.out, 3), "abc");  // bytes before the failure stay
  // Reaching back exactly to the first byte is fine.
  items.back().distance_symbol = 2;  // distance 3
  EXPECT_EQ(run(fixed_block(items), 6).error, IMAGE_OK);
}

TEST(OutputCapacity, ExactlyFullDecodesOneMoreFails) {
  const BitWriter ends_literal = fixed_block(literals("abcd"));
  std::vector<FixedItem> copy_items = literals("ab");
  copy_items.push_back({258, 0, 0, 1});  // length 4, distance 2
  const BitWriter ends_copy = fixed_block(copy_items);
  std::set<uint32_t> sites;
  for (const BitWriter* w : {&ends_literal, &ends_copy}) {
    EXPECT_EQ(run(*w, 6 - (w == &ends_literal ? 2 : 0)).error, IMAGE_OK);
    const Inflated over = run(*w, 5 - (w == &ends_literal ? 2 : 0));
    EXPECT_EQ(over.error, IMAGE_ERR_CORRUPT);
    sites.insert(over.error_site);
  }
  EXPECT_EQ(sites.size(), 2u);
  EXPECT_EQ(inflate(zlib_wrap(stored_abc), 3).error, IMAGE_OK);
  EXPECT_EQ(inflate(zlib_wrap(stored_abc), 2).error, IMAGE_ERR_CORRUPT);
  // A stream may end before the output is full; the rest is left alone.
  const Inflated short_stream = run(ends_literal, 6);
  EXPECT_EQ(short_stream.error, IMAGE_OK);
  EXPECT_EQ(short_stream.out, concat({text("abcd"), {0xEE, 0xEE}}));
}

TEST(BlockStructure, TypesAndTheEndOfInput) {
  std::set<uint32_t> sites;
  // BTYPE 3.
  BitWriter reserved;
  reserved.bits(1, 1);
  reserved.bits(3, 2);
  const Inflated r3 = inflate(concat({{0x78, 0x01}, reserved.bytes}), 4);
  EXPECT_EQ(r3.error, IMAGE_ERR_CORRUPT);
  sites.insert(r3.error_site);
  // A non-final block and then no more data: the zero padding bits of its
  // last byte start a stored block whose header is missing.
  const BitWriter not_final = fixed_block(literals("ab"), false);
  const Inflated ends_early = inflate(concat({{0x78, 0x01}, not_final.bytes}), 4);
  EXPECT_EQ(ends_early.error, IMAGE_ERR_CORRUPT);
  sites.insert(ends_early.error_site);
  // Data cut inside a code.
  const BitWriter long_block = fixed_block(literals("abcdefgh"));
  const Inflated cut =
      inflate(concat({{0x78, 0x01}, Bytes(long_block.bytes.begin(), long_block.bytes.begin() + 4)}), 8);
  EXPECT_EQ(cut.error, IMAGE_ERR_CORRUPT);
  sites.insert(cut.error_site);
  // Cut inside extra bits: distance symbol 29 wants 13 of them.
  BitWriter extra;
  extra.bits(1, 1);
  extra.bits(1, 2);
  extra.fixed_symbol('a');
  extra.fixed_symbol(257);
  extra.fixed_distance(29);
  const Inflated cut_extra = inflate(concat({{0x78, 0x01}, extra.bytes}), 300);
  EXPECT_EQ(cut_extra.error, IMAGE_ERR_CORRUPT);
  sites.insert(cut_extra.error_site);
  EXPECT_EQ(sites.size(), 4u);
  // Input ending right after BFINAL, and right after a dynamic block's type:
  // 9-bit literals put the end of the first block where needed.
  for (int nine_bit_literals : {5, 3}) {
    BitWriter w = fixed_block(std::vector<FixedItem>(nine_bit_literals, FixedItem{200}), false);
    w.bits(1, 1);
    if (nine_bit_literals == 3) w.bits(2, 2);
    ASSERT_EQ(w.bit_count % 8, 0u);
    const Inflated r = inflate(concat({{0x78, 0x01}, w.bytes}), 8);
    EXPECT_EQ(r.error, IMAGE_ERR_CORRUPT);
    EXPECT_EQ(r.error_site, cut_extra.error_site);
    EXPECT_EQ(r.out[0], 200);
  }
  // Nothing after the final block is read.
  const Inflated trailing = inflate(concat({zlib_wrap(long_block.bytes), Bytes(50, 0xFF)}), 8);
  EXPECT_EQ(trailing.error, IMAGE_OK);
}

// Cutting a stream anywhere before the end of its final block fails; the
// Adler-32 trailer after it is not needed. Streams of stored, fixed and
// dynamic blocks, several of them.
TEST(BlockStructure, EveryTruncationBeforeTheFinalBlockEndsFails) {
  Bytes raw;
  for (int i = 0; i < 3000; ++i) raw.push_back(uint8_t(i % 251 < 120 ? i % 7 : (i * 37) >> 3));
  for (int level : {0, 1, 9}) {
    const Bytes stream = zlib_compress(raw, level);
    for (size_t size = 0; size + 4 < stream.size(); ++size) {
      const Inflated r = inflate(Bytes(stream.begin(), stream.begin() + size), uint32_t(raw.size()));
      ASSERT_EQ(r.error, IMAGE_ERR_CORRUPT) << "level " << level << " size " << size;
    }
    const Inflated whole = inflate(Bytes(stream.begin(), stream.end() - 4), uint32_t(raw.size()));
    ASSERT_EQ(whole.error, IMAGE_OK) << level;
    EXPECT_EQ(whole.out, raw);
  }
}

// A dynamic block's header: HLIT, HDIST, a complete code-length code (symbols
// 0-12 four bits, 13-18 five bits), then the given code-length symbols with
// their extra bits.
struct LengthItem {
  uint32_t symbol;
  uint32_t extra = 0;
};

std::vector<uint32_t> canonical_codes(const std::vector<uint8_t>& lengths) {
  uint32_t count[16] = {};
  for (uint8_t len : lengths) ++count[len];
  count[0] = 0;
  uint32_t next[16] = {};
  for (uint32_t len = 1, code = 0; len < 16; ++len) {
    code = (code + count[len - 1]) << 1;
    next[len] = code;
  }
  std::vector<uint32_t> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); ++s)
    if (lengths[s]) codes[s] = next[lengths[s]]++;
  return codes;
}

const std::vector<uint8_t> code_length_lengths = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4,
                                                  4, 4, 4, 5, 5, 5, 5, 5, 5};
const uint8_t code_length_order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

void dynamic_header(BitWriter& w, bool final_block, uint32_t hlit, uint32_t hdist,
                    const std::vector<LengthItem>& items) {
  w.bits(final_block ? 1 : 0, 1);
  w.bits(2, 2);
  w.bits(hlit - 257, 5);
  w.bits(hdist - 1, 5);
  w.bits(19 - 4, 4);
  for (uint8_t symbol : code_length_order) w.bits(code_length_lengths[symbol], 3);
  const std::vector<uint32_t> codes = canonical_codes(code_length_lengths);
  for (const LengthItem& item : items) {
    w.code(codes[item.symbol], code_length_lengths[item.symbol]);
    if (item.symbol == 16) w.bits(item.extra, 2);
    if (item.symbol == 17) w.bits(item.extra, 3);
    if (item.symbol == 18) w.bits(item.extra, 7);
  }
}

// Lengths as code-length symbols, runs of zeros as 18s and 17s.
std::vector<LengthItem> plain(const std::vector<uint8_t>& lengths) {
  std::vector<LengthItem> items;
  for (size_t i = 0; i < lengths.size();) {
    size_t run = 0;
    while (i + run < lengths.size() && lengths[i + run] == 0 && run < 138) ++run;
    if (run >= 11) {
      items.push_back({18, uint32_t(run - 11)});
      i += run;
    } else if (run >= 3) {
      items.push_back({17, uint32_t(run - 3)});
      i += run;
    } else {
      items.push_back({lengths[i]});
      ++i;
    }
  }
  return items;
}

// Literal/length lengths for HLIT symbols with the given symbols at `len`.
std::vector<uint8_t> lengths_with(uint32_t count, std::initializer_list<uint32_t> symbols, uint8_t len) {
  std::vector<uint8_t> lengths(count, 0);
  for (uint32_t s : symbols) lengths[s] = len;
  return lengths;
}

void emit(BitWriter& w, const std::vector<uint8_t>& lengths, uint32_t symbol) {
  w.code(canonical_codes(lengths)[symbol], lengths[symbol]);
}

TEST(DynamicBlocks, LiteralsAndCopies) {
  const std::vector<uint8_t> lit = lengths_with(258, {'a', 'b', 256, 257}, 2);
  const std::vector<uint8_t> dist = {2, 2, 2};
  std::vector<LengthItem> items = plain(lit);
  for (LengthItem item : plain(dist)) items.push_back(item);
  BitWriter w;
  dynamic_header(w, true, 258, 3, items);
  emit(w, lit, 'a');
  emit(w, lit, 'b');
  emit(w, lit, 'b');
  emit(w, lit, 257);  // length 3
  emit(w, dist, 2);   // distance 3
  emit(w, lit, 256);
  const Inflated r = run(w, 6);
  EXPECT_EQ(r.error, IMAGE_OK);
  EXPECT_EQ(as_text(r.out, 6), "abbabb");
}

TEST(DynamicBlocks, RepeatsOfLengths) {
  // A 16 straight after the last literal/length length carries it over into
  // the distance lengths: here distance symbols 0-2 get length 2.
  const std::vector<uint8_t> lit = lengths_with(258, {'a', 'b', 256, 257}, 2);
  std::vector<LengthItem> items = plain(lit);
  items.push_back({16, 0});
  BitWriter w;
  dynamic_header(w, true, 258, 3, items);
  const std::vector<uint8_t> dist = {2, 2, 2};
  emit(w, lit, 'a');
  emit(w, lit, 'b');
  emit(w, lit, 'b');
  emit(w, lit, 257);
  emit(w, dist, 2);
  emit(w, lit, 256);
  const Inflated carried = run(w, 6);
  EXPECT_EQ(carried.error, IMAGE_OK);
  EXPECT_EQ(as_text(carried.out, 6), "abbabb");

  std::set<uint32_t> sites;
  // A repeat that runs past HLIT + HDIST (258 + 2 here): 17 with count 4
  // where 3 lengths remain.
  std::vector<LengthItem> past = plain(lengths_with(256, {'a'}, 2));
  past.push_back({2});
  past.push_back({17, 1});
  BitWriter over;
  dynamic_header(over, true, 258, 2, past);
  const Inflated r_over = run(over, 4);
  EXPECT_EQ(r_over.error, IMAGE_ERR_CORRUPT);
  sites.insert(r_over.error_site);
  // The same repeat ending exactly at HLIT + HDIST is fine.
  past.back() = {17, 0};
  BitWriter exact;
  dynamic_header(exact, true, 258, 2, past);
  const std::vector<uint8_t> exact_lit = lengths_with(258, {'a', 256}, 2);
  emit(exact, exact_lit, 'a');
  emit(exact, exact_lit, 256);
  const Inflated r_exact = run(exact, 1);
  EXPECT_EQ(r_exact.error, IMAGE_OK);
  EXPECT_EQ(r_exact.out, text("a"));
  // A 16 as the very first length has nothing to repeat.
  BitWriter first;
  dynamic_header(first, true, 257, 1, {{16, 0}});
  const Inflated r_first = run(first, 4);
  EXPECT_EQ(r_first.error, IMAGE_ERR_CORRUPT);
  sites.insert(r_first.error_site);
  // No code for symbol 256.
  BitWriter no_end;
  dynamic_header(no_end, true, 257, 1, plain(lengths_with(258, {'a', 'b'}, 1)));
  const Inflated r_no_end = run(no_end, 4);
  EXPECT_EQ(r_no_end.error, IMAGE_ERR_CORRUPT);
  sites.insert(r_no_end.error_site);
  EXPECT_EQ(sites.size(), 3u);
}

TEST(DynamicBlocks, NoDistanceCodesAndSymbolsPast285) {
  // HLIT 288 (more than the 286 symbols with a meaning), all distance lengths 0.
  const std::vector<uint8_t> lit = lengths_with(288, {'a', 256, 257, 286, 287}, 3);
  std::vector<LengthItem> items = plain(lit);
  items.push_back({0});
  BitWriter w;
  dynamic_header(w, true, 288, 1, items);
  emit(w, lit, 'a');
  emit(w, lit, 286);
  emit(w, lit, 287);
  emit(w, lit, 257);  // length 3; the distance code reads one bit: symbol 0, distance 1
  w.bits(1, 1);
  emit(w, lit, 256);
  const Inflated r = run(w, 4);
  EXPECT_EQ(r.error, IMAGE_OK);
  EXPECT_EQ(as_text(r.out, 4), "aaaa");
  // HDIST up to 32 is accepted, with lengths for symbols 30 and 31.
  std::vector<LengthItem> wide = plain(lengths_with(257, {'a', 256}, 1));
  for (LengthItem item : plain(std::vector<uint8_t>(32, 5))) wide.push_back(item);
  BitWriter w32;
  dynamic_header(w32, true, 257, 32, wide);
  emit(w32, lengths_with(257, {'a', 256}, 1), 'a');
  emit(w32, lengths_with(257, {'a', 256}, 1), 256);
  EXPECT_EQ(run(w32, 1).error, IMAGE_OK);
}

TEST(DynamicBlocks, OverSubscribedCodeFails) {
  // Five literal lengths of 2 (and 256 as well): more codes than two bits hold.
  const std::vector<uint8_t> lit = lengths_with(257, {'a', 'b', 'c', 'd', 'e', 256}, 2);
  BitWriter w;
  dynamic_header(w, true, 257, 1, plain(concat({Bytes(lit.begin(), lit.end()), {1}})));
  const Inflated r = run(w, 4);
  EXPECT_EQ(r.error, IMAGE_ERR_CORRUPT);
}

HuffTree tree_of(std::vector<uint8_t> lengths, uint32_t max_bits, Image& image) {
  HuffTree tree;
  tree.symbol_count = uint32_t(lengths.size());
  tree.max_bits = max_bits;
  huff_tree_build(&image, tree, lengths.data());
  return tree;
}

std::vector<uint32_t> nodes_of(const HuffTree& tree) {
  return std::vector<uint32_t>(tree.nodes, tree.nodes + 2 * tree.symbol_count);
}

TEST(HuffTrees, IncompleteAndOverSubscribedCodes) {
  // Incomplete: one symbol of length 1. The other branch decodes as symbol 0.
  Image image{};
  std::vector<uint8_t> lengths(19, 0);
  lengths[5] = 1;
  HuffTree one = tree_of(lengths, 7, image);
  EXPECT_EQ(image.error, IMAGE_OK);
  std::vector<uint32_t> expected(38, 0);
  expected[0] = 5;
  EXPECT_EQ(nodes_of(one), expected);
  const uint8_t ones = 0xFF;
  BitInput input{&ones, 1, 0};
  EXPECT_EQ(huff_read_symbol(&image, one, input), 0u);
  EXPECT_EQ(input.bit_pos, 1u);

  // Three codes of length 1: the third (code 2, low bit 0) meets the leaf of
  // the first and is not placed; nothing follows, so the build succeeds.
  lengths.assign(19, 0);
  lengths[0] = lengths[1] = lengths[2] = 1;
  HuffTree three = tree_of(lengths, 7, image);
  EXPECT_EQ(image.error, IMAGE_OK);
  expected.assign(38, 0);
  expected[1] = 1;
  EXPECT_EQ(nodes_of(three), expected);
  // One more symbol after it starts its walk from that leaf and fails.
  lengths[3] = 2;
  tree_of(lengths, 7, image);
  EXPECT_EQ(image.error, IMAGE_ERR_CORRUPT);

  // Two of length 2 (codes 4 = 00 and 5 = 01 after two of length 1), then
  // length-1 codes 0 and 1: code 0 ends on the internal node, which is where
  // the next symbol's walk starts; code 1 there meets symbol 1's leaf.
  Image image2{};
  lengths.assign(19, 0);
  lengths[0] = lengths[1] = 2;
  lengths[2] = lengths[3] = 1;
  HuffTree odd = tree_of(lengths, 7, image2);
  EXPECT_EQ(image2.error, IMAGE_OK);
  expected.assign(38, 0);
  expected[0] = 19 + 1;  // root, bit 0: internal node 1
  expected[2] = 0;       // node 1, bit 0: symbol 0
  expected[3] = 1;       // node 1, bit 1: symbol 1
  EXPECT_EQ(nodes_of(odd), expected);
}

TEST(HuffTrees, ReadingOffTheTreeAndPastTheInput) {
  Image image{};
  HuffTree tree{};
  tree.symbol_count = 3;
  tree.max_bits = 7;
  tree.nodes[0] = 3 + 3;  // internal node 3: beyond a 3-symbol tree
  const uint8_t zero = 0;
  BitInput input{&zero, 1, 0};
  EXPECT_EQ(huff_read_symbol(&image, tree, input), 0u);
  EXPECT_EQ(image.error, IMAGE_ERR_CORRUPT);

  Image image2{};
  BitInput empty{&zero, 1, 8};
  EXPECT_EQ(huff_read_symbol(&image2, fixed_dist_tree, empty), 0u);
  EXPECT_EQ(image2.error, IMAGE_ERR_CORRUPT);
  EXPECT_NE(image2.error_site, image.error_site);
}

TEST(HuffTrees, FixedTreesDecodeEverySymbol) {
  EXPECT_EQ(fixed_litlen_tree.symbol_count, 288u);
  EXPECT_EQ(fixed_dist_tree.symbol_count, 32u);
  // Both codes are complete: the last internal node does not exist.
  EXPECT_EQ(fixed_litlen_tree.nodes[574], 0u);
  EXPECT_EQ(fixed_litlen_tree.nodes[575], 0u);
  EXPECT_EQ(fixed_dist_tree.nodes[62], 0u);
  EXPECT_EQ(fixed_dist_tree.nodes[63], 0u);
  for (uint32_t symbol = 0; symbol < 288; ++symbol) {
    BitWriter w;
    w.fixed_symbol(symbol);
    Image image{};
    BitInput input{w.bytes.data(), uint32_t(w.bytes.size()), 0};
    EXPECT_EQ(huff_read_symbol(&image, fixed_litlen_tree, input), symbol);
    EXPECT_EQ(input.bit_pos, w.bit_count);
  }
  for (uint32_t symbol = 0; symbol < 32; ++symbol) {
    BitWriter w;
    w.fixed_distance(symbol);
    Image image{};
    BitInput input{w.bytes.data(), uint32_t(w.bytes.size()), 0};
    EXPECT_EQ(huff_read_symbol(&image, fixed_dist_tree, input), symbol);
  }
}

}  // namespace
