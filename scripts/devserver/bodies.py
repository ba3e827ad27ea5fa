"""Reply bodies sent piece by piece: files and zero bytes of any size without holding them in
memory, plainly or chunked, at full speed or one byte at a time."""
import time

PIECE = 64 * 1024


def repeated(block, size):
    """Pieces of block, over and over, adding up to size bytes."""
    left = size
    while left > 0:
        n = min(len(block), left)
        yield block[:n]
        left -= n


def zeros(size):
    return repeated(bytes(PIECE), size)


def file_pieces(path):
    with open(path, "rb") as f:
        while True:
            piece = f.read(PIECE)
            if not piece:
                return
            yield piece


def one_byte_at_a_time(pieces):
    for piece in pieces:
        for i in range(len(piece)):
            yield piece[i:i + 1]


def send(wfile, pieces, chunked=False, trickle_interval=None):
    """Writes the pieces; with trickle_interval, one byte at a time with that many seconds
    between them. Returns quietly when the client goes away (a write fails)."""
    if trickle_interval is not None:
        pieces = one_byte_at_a_time(pieces)
    try:
        first = True
        for piece in pieces:
            if trickle_interval is not None and not first:
                time.sleep(trickle_interval)
            first = False
            if chunked:
                wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            else:
                wfile.write(piece)
        if chunked:
            wfile.write(b"0\r\n\r\n")
        return True
    except OSError:
        return False
