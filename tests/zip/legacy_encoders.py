"""Encoders for the older ZIP methods, written from the ZIP application note: Shrink (1), Reduce
with factors 1 to 4 (2 to 5) and Implode (6). They favour clarity over compression; what counts
is that Info-ZIP's unzip, an independent decoder, accepts every archive made with them."""
import heapq


class BitWriter:
    """Bits packed least significant first, as all three methods store them."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.count = 0

    def bits(self, value, count):
        self.acc |= (value & ((1 << count) - 1)) << self.count
        self.count += count
        while self.count >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.count -= 8

    def code_msb_first(self, value, length):
        for b in range(length - 1, -1, -1):
            self.bits((value >> b) & 1, 1)

    def finish(self):
        if self.count:
            self.out.append(self.acc & 0xFF)
        self.acc = self.count = 0
        return bytes(self.out)


CLEAR_AT = 8000


def shrink(data):
    """LZW with 9- to 13-bit codes. The code size grows (256, 1) just before a code needs it. When
    the table is nearly full the encoder partially clears (256, 2) right after emitting a literal,
    so that the entry added next never hangs off a freed code, and the table never fills up."""
    if not data:
        return b""
    w = BitWriter()
    size = 9
    child = {}   # (prefix code, byte) -> code
    node = {}    # code -> (prefix code, byte)
    next_free = 257

    def advance(start):
        code = start
        while code < 8192 and code in node:
            code += 1
        return code

    def emit(code):
        nonlocal size
        while code >= (1 << size):
            w.bits(256, size)
            w.bits(1, size)
            size += 1
        w.bits(code, size)

    def partial_clear():
        nonlocal next_free
        parents = {p for (p, _) in node.values()}
        for code in [c for c in node if c not in parents]:
            if child.get(node[code]) == code:
                del child[node[code]]
            del node[code]
        next_free = advance(257)

    current = data[0]
    for byte in data[1:]:
        key = (current, byte)
        # Close to full, a string that has just begun is sent as its literal and followed by the
        # clear, before the table can fill up.
        clear_now = next_free >= CLEAR_AT and current < 256
        if key in child and not clear_now:
            current = child[key]
            continue
        emit(current)
        if clear_now:
            w.bits(256, size)
            w.bits(2, size)
            partial_clear()
        if next_free < 8192:
            child[key] = next_free
            node[next_free] = key
            next_free = advance(next_free + 1)
        current = byte
    emit(current)
    return w.finish()


def _matches(data, max_distance, max_length, min_length):
    """Greedy LZ77 over hash chains of three-byte prefixes: a list of ('lit', byte) and
    ('match', distance, length)."""
    tokens = []
    chains = {}
    i, n = 0, len(data)
    while i < n:
        best_length = best_distance = 0
        if i + 3 <= n:
            key = data[i:i + 3]
            for p in reversed(chains.get(key, [])[-48:]):
                distance = i - p
                if distance > max_distance:
                    break
                length = 0
                while length < max_length and i + length < n and data[p + length] == data[i + length]:
                    length += 1
                if length > best_length:
                    best_length, best_distance = length, distance
        step = 1
        if best_length >= min_length:
            tokens.append(("match", best_distance, best_length))
            step = best_length
        else:
            tokens.append(("lit", data[i]))
        for k in range(i, min(i + step, n - 2)):
            chains.setdefault(data[k:k + 3], []).append(k)
        i += step
    return tokens


def _index_bits(n):
    bits = 1
    while (1 << bits) < n:
        bits += 1
    return bits


def reduce(data, factor):
    """Reduce: back-references introduced by the byte 144, then follower sets of up to 32 bytes."""
    mask = 0x7F >> (factor - 1)
    tokens = _matches(data, 1 << (8 + factor), mask + 255 + 3, 3)
    # The byte sequence of the first stage; a match of length 3 at a distance up to 256 would put
    # a zero after 144, which means a literal 144, so such matches are spelled out.
    seq = bytearray()
    pos = 0
    for token in tokens:
        if token[0] == "match" and not (token[2] == 3 and token[1] <= 256):
            _, distance, length = token
            extra = length - 3
            d = distance - 1
            low = min(extra, mask)
            seq += bytes([144, ((d >> 8) << (8 - factor)) | low])
            if low == mask:
                seq.append(extra - mask)
            seq.append(d & 0xFF)
            pos += length
            continue
        count = token[2] if token[0] == "match" else 1
        for byte in data[pos:pos + count]:
            seq.append(byte)
            if byte == 144:
                seq.append(0)
        pos += count

    # Follower sets: the most frequent successors of each byte.
    counts = [dict() for _ in range(256)]
    last = 0
    for byte in seq:
        counts[last][byte] = counts[last].get(byte, 0) + 1
        last = byte
    followers = []
    for c in range(256):
        ranked = sorted(counts[c].items(), key=lambda kv: (-kv[1], kv[0]))
        followers.append([b for b, k in ranked[:32] if k > 1])
    w = BitWriter()
    for c in range(255, -1, -1):
        w.bits(len(followers[c]), 6)
        for b in followers[c]:
            w.bits(b, 8)
    last = 0
    for byte in seq:
        fs = followers[last]
        if not fs:
            w.bits(byte, 8)
        elif byte in fs:
            w.bits(0, 1)
            w.bits(fs.index(byte), _index_bits(len(fs)))
        else:
            w.bits(1, 1)
            w.bits(byte, 8)
        last = byte
    return w.finish()


def _code_lengths(freqs, limit=16):
    """Huffman code lengths (every symbol gets one) no longer than limit."""
    freqs = [f + 1 for f in freqs]
    while True:
        heap = [(f, i, [i]) for i, f in enumerate(freqs)]
        heapq.heapify(heap)
        lengths = [0] * len(freqs)
        tie = len(freqs)
        while len(heap) > 1:
            f1, _, s1 = heapq.heappop(heap)
            f2, _, s2 = heapq.heappop(heap)
            for s in s1 + s2:
                lengths[s] += 1
            heapq.heappush(heap, (f1 + f2, tie, s1 + s2))
            tie += 1
        if max(lengths) <= limit:
            return lengths
        freqs = [f // 2 + 1 for f in freqs]


def _shannon_fano_codes(lengths):
    """Codes as the application note assigns them: sorted by length then symbol, the last (longest)
    gets 0, counting up by 2^(16 - length)."""
    order = sorted(range(len(lengths)), key=lambda s: (lengths[s], s))
    codes = [0] * len(lengths)
    code = increment = last = 0
    for s in reversed(order):
        code += increment
        if lengths[s] != last:
            last = lengths[s]
            increment = 1 << (16 - last)
        codes[s] = code >> (16 - last)
    return codes


def _write_tree(w, lengths):
    runs = []
    i = 0
    while i < len(lengths):
        j = i
        while j < len(lengths) and lengths[j] == lengths[i] and j - i < 16:
            j += 1
        runs.append(((j - i - 1) << 4) | (lengths[i] - 1))
        i = j
    w.bits(len(runs) - 1, 8)
    for r in runs:
        w.bits(r, 8)


def implode(data, dictionary_8k, literal_tree):
    low_bits = 7 if dictionary_8k else 6
    min_match = 3 if literal_tree else 2
    tokens = _matches(data, 8192 if dictionary_8k else 4096, min_match + 63 + 255, min_match)
    lit_freq, len_freq, dist_freq = [0] * 256, [0] * 64, [0] * 64
    for t in tokens:
        if t[0] == "lit":
            lit_freq[t[1]] += 1
        else:
            len_freq[min(t[2] - min_match, 63)] += 1
            dist_freq[(t[1] - 1) >> low_bits] += 1
    w = BitWriter()
    trees = []
    if literal_tree:
        trees.append(_code_lengths(lit_freq))
    trees += [_code_lengths(len_freq), _code_lengths(dist_freq)]
    for lengths in trees:
        _write_tree(w, lengths)
    codes = [(_shannon_fano_codes(l), l) for l in trees]
    lit_code = codes[0] if literal_tree else None
    len_code, dist_code = codes[-2], codes[-1]
    for t in tokens:
        if t[0] == "lit":
            w.bits(1, 1)
            if literal_tree:
                w.code_msb_first(lit_code[0][t[1]], lit_code[1][t[1]])
            else:
                w.bits(t[1], 8)
        else:
            _, distance, length = t
            d = distance - 1
            w.bits(0, 1)
            w.bits(d & ((1 << low_bits) - 1), low_bits)
            high = d >> low_bits
            w.code_msb_first(dist_code[0][high], dist_code[1][high])
            extra = length - min_match
            sym = min(extra, 63)
            w.code_msb_first(len_code[0][sym], len_code[1][sym])
            if sym == 63:
                w.bits(extra - 63, 8)
    return w.finish()
