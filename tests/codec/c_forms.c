/* The decoder's C forms called from C, compiled as C: a failure must come back as a
 * code, since an exception reaching these frames would end the process. */
#include "codec/kivdecoder.h"

#include <string.h>

int KivCFormsFromC(char* why, size_t whySize);

static int Fail(char* why, size_t whySize, const char* step, const char* message) {
    size_t n = strlen(step);
    if (whySize == 0) return 1;
    if (n >= whySize) n = whySize - 1;
    memcpy(why, step, n);
    why[n] = '\0';
    strncat(why, message, whySize - 1 - n);
    return 1;
}

/* 0 when every call answers as it should; otherwise 1, with the step in why. */
int KivCFormsFromC(char* why, size_t whySize) {
    static uint8_t dest[5242880];
    const uint8_t notJpeg[] = {'B', 'M', 0, 0};
    const uint8_t marker[] = {0x11, 0x00, 0x00};
    const uint8_t garbage[] = {0xFF, 0xFF, 0xFF};
    char message[64];
    int32_t written = -1;
    bool isKiv = true;

    if (InitDecoderC(message, sizeof message) != KIV_DECODER_OK)
        return Fail(why, whySize, "InitDecoderC: ", message);
    if (UnZipBufferC(notJpeg, sizeof notJpeg, 1, dest, sizeof dest, &written, message,
                     sizeof message) != KIV_DECODER_FAILED ||
        strcmp(message, "JPEG 文件被损坏") != 0 || written != 0)
        return Fail(why, whySize, "UnZipBufferC of a damaged JPEG: ", message);
    if (UnZipBufferC(notJpeg, sizeof notJpeg, 0, dest, sizeof dest, &written, message,
                     sizeof message) != KIV_DECODER_OK ||
        written != 4)
        return Fail(why, whySize, "UnZipBufferC of raw bytes: ", message);
    if (DecompressC(garbage, sizeof garbage, dest, &written, message, sizeof message) !=
            KIV_DECODER_FAILED ||
        strcmp(message, "LZO1X data damaged") != 0)
        return Fail(why, whySize, "DecompressC of garbage: ", message);
    if (DecompressC(marker, sizeof marker, dest, &written, message, sizeof message) !=
            KIV_DECODER_OK ||
        written != 0)
        return Fail(why, whySize, "DecompressC of the end marker: ", message);
    if (CheckKivFileHeaderC(NULL, &isKiv, message, sizeof message) != KIV_DECODER_FAILED || isKiv)
        return Fail(why, whySize, "CheckKivFileHeaderC of nothing: ", message);
    if (UninitDecoderC(message, sizeof message) != KIV_DECODER_OK)
        return Fail(why, whySize, "UninitDecoderC: ", message);
    return 0;
}
