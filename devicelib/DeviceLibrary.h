#pragma once

// Binary interface of the device library object. Every operation's position in the table of
// virtual functions is fixed: the library was built against this layout and the console calls
// through it, so nothing may be added, removed or reordered. Operations the console does not use
// keep neutral names (SlotNNN, NNN being the position); those the console never calls answer -1
// (not supported) unless a library overrides them. The first entry is an ordinary operation,
// not a destructor: on the Itanium C++ ABI a virtual destructor fills two entries and would shift
// every later position. The console never destroys the library object.
//
// Plain C++ with no dependency beyond the standard headers, so a library can be built against it
// alone.

#include "devicelib/IAppCallBack.h"
#include "devicelib/IAppListener.h"

#include <cstdint>

// The window the library draws live video into: the platform's native window id (an X11 window
// here), pointer-sized. Zero means no window.
using VideoWindowHandle = std::uintptr_t;

// Vtable-only interface; the console never deletes it, so no virtual destructor (see above).
// NOLINTBEGIN(cppcoreguidelines-virtual-class-destructor)
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class DeviceLibrary
{
public:
    virtual int32_t Slot000() { return -1; }                     // 0
    virtual int32_t Open() = 0;                                  // 1
    virtual int32_t Slot002() { return -1; }                     // 2
    virtual int32_t Close() = 0;                                 // 3
    virtual int32_t Slot004() { return -1; }                     // 4
    virtual int32_t Slot005() { return -1; }                     // 5
    virtual int32_t Slot006() { return -1; }                     // 6
    virtual int32_t Slot007() { return -1; }                     // 7
    virtual int32_t Slot008() { return -1; }                     // 8
    virtual int32_t Slot009() { return -1; }                     // 9
    virtual int32_t Slot010() { return -1; }                     // 10
    virtual int32_t SetDeviceType(int32_t type) = 0;             // 11
    virtual int32_t GetDeviceType() = 0;                         // 12
    virtual int32_t SetIPAddr(const char* ipaddr) = 0;           // 13
    virtual int32_t GetIPAddr(char* buffer, int32_t size) = 0;   // 14
    virtual int32_t SetHttpPort(int32_t port) = 0;               // 15
    virtual int32_t GetHttpPort() = 0;                           // 16
    virtual int32_t Slot017() { return -1; }                     // 17
    virtual int32_t Slot018() { return -1; }                     // 18
    virtual int32_t Slot019() { return -1; }                     // 19
    virtual int32_t Slot020() { return -1; }                     // 20
    virtual int32_t Slot021() { return -1; }                     // 21
    virtual int32_t Slot022() { return -1; }                     // 22
    virtual int32_t Slot023() { return -1; }                     // 23
    virtual int32_t Slot024() { return -1; }                     // 24
    virtual int32_t GetUID() = 0;                                // 25
    virtual int32_t SetUserName(const char* userName) = 0;       // 26
    virtual int32_t GetUserName(char* buffer, int32_t size) = 0; // 27
    virtual int32_t SetPassword(const char* password) = 0;       // 28
    virtual int32_t GetPassword(char* buffer, int32_t size) = 0; // 29
    virtual int32_t Slot030() { return -1; }                     // 30
    virtual int32_t Slot031() { return -1; }                     // 31
    virtual int32_t Slot032() { return -1; }                     // 32
    virtual int32_t Slot033() { return -1; }                     // 33
    virtual int32_t Slot034() { return -1; }                     // 34
    virtual int32_t Slot035() { return -1; }                     // 35
    virtual int32_t Slot036() { return -1; }                     // 36
    virtual int32_t Slot037() { return -1; }                     // 37
    virtual int32_t Slot038() { return -1; }                     // 38
    virtual int32_t Slot039() { return -1; }                     // 39
    virtual int32_t Slot040() { return -1; }                     // 40
    virtual int32_t Slot041() { return -1; }                     // 41
    virtual int32_t Slot042(IAppListener* listener) = 0;         // 42
    virtual int32_t Slot043() { return -1; }                     // 43
    virtual int32_t Slot044() { return -1; }                     // 44
    virtual int32_t Slot045() { return -1; }                     // 45
    virtual int32_t Slot046() { return -1; }                     // 46
    virtual int32_t Slot047() { return -1; }                     // 47
    virtual int32_t Slot048() { return -1; }                     // 48
    virtual int32_t Slot049() { return -1; }                     // 49
    virtual int32_t Slot050() { return -1; }                     // 50
    virtual int32_t Slot051() { return -1; }                     // 51
    virtual int32_t Slot052() { return -1; }                     // 52
    virtual int32_t Slot053() { return -1; }                     // 53
    virtual int32_t Slot054() { return -1; }                     // 54
    virtual int32_t Slot055() { return -1; }                     // 55
    virtual int32_t Slot056() { return -1; }                     // 56
    virtual int32_t Slot057() { return -1; }                     // 57
    virtual int32_t Slot058() { return -1; }                     // 58
    virtual int32_t Slot059() { return -1; }                     // 59
    virtual int32_t Slot060() { return -1; }                     // 60
    virtual int32_t Slot061() { return -1; }                     // 61
    virtual int32_t Slot062() { return -1; }                     // 62
    virtual int32_t Slot063() { return -1; }                     // 63
    virtual int32_t Slot064() { return -1; }                     // 64
    virtual int32_t Slot065() { return -1; }                     // 65
    virtual int32_t Slot066(int32_t value) = 0;                  // 66
    virtual int32_t Slot067() { return -1; }                     // 67
    virtual int32_t PlayLive(int32_t channel, int32_t* out, int32_t mode,
                             IAppCallBack* callback) = 0; // 68
    virtual int32_t Slot069() { return -1; }              // 69
    virtual int32_t Slot070() { return -1; }              // 70
    virtual int32_t PlayControl(int32_t first, int32_t second, int32_t* out, int32_t mode,
                                IAppCallBack* callback) = 0;      // 71
    virtual int32_t Slot072() { return -1; }                      // 72
    virtual int32_t Slot073() { return -1; }                      // 73
    virtual int32_t Slot074() { return -1; }                      // 74
    virtual int32_t Slot075() { return -1; }                      // 75
    virtual int32_t Slot076() { return -1; }                      // 76
    virtual int32_t SetVideoWindow(VideoWindowHandle window) = 0; // 77
    virtual int32_t Slot078() { return -1; }                      // 78
    virtual int32_t ClearImage() = 0;                             // 79
    virtual int32_t Slot080() { return -1; }                      // 80
    virtual int32_t Slot081() { return -1; }                      // 81
    virtual int32_t Slot082() { return -1; }                      // 82
    virtual int32_t Slot083() { return -1; }                      // 83
    virtual int32_t Slot084() { return -1; }                      // 84
    virtual int32_t Slot085() { return -1; }                      // 85
    virtual int32_t Slot086() { return -1; }                      // 86
    virtual int32_t Slot087() { return -1; }                      // 87
    virtual int32_t Slot088() { return -1; }                      // 88
    virtual int32_t Slot089() { return -1; }                      // 89
    virtual int32_t Slot090() { return -1; }                      // 90
    virtual int32_t Slot091() { return -1; }                      // 91
    virtual int32_t Slot092() { return -1; }                      // 92
    virtual int32_t Slot093() { return -1; }                      // 93
    virtual int32_t Slot094() { return -1; }                      // 94
    virtual int32_t Slot095() { return -1; }                      // 95
    virtual int32_t Slot096() { return -1; }                      // 96
    virtual int32_t Slot097() { return -1; }                      // 97
    virtual int32_t Slot098() { return -1; }                      // 98
    virtual int32_t Slot099() { return -1; }                      // 99
    virtual int32_t Slot100() { return -1; }                      // 100
    virtual int32_t Slot101() { return -1; }                      // 101
    virtual int32_t Slot102() { return -1; }                      // 102
    virtual int32_t Slot103() { return -1; }                      // 103
    virtual int32_t Slot104() { return -1; }                      // 104
    virtual int32_t Slot105() { return -1; }                      // 105
    virtual int32_t Slot106() { return -1; }                      // 106
    virtual int32_t Slot107() { return -1; }                      // 107
    virtual int32_t Slot108() { return -1; }                      // 108
    virtual int32_t Slot109() { return -1; }                      // 109
    virtual int32_t Slot110() { return -1; }                      // 110
    virtual int32_t Slot111() { return -1; }                      // 111
    virtual int32_t Slot112() { return -1; }                      // 112
    virtual int32_t Slot113() { return -1; }                      // 113
    virtual int32_t Slot114() { return -1; }                      // 114
    virtual int32_t Slot115() { return -1; }                      // 115
    virtual int32_t Slot116() { return -1; }                      // 116
    virtual int32_t Slot117() { return -1; }                      // 117
    virtual int32_t Slot118() { return -1; }                      // 118
    virtual int32_t Slot119() { return -1; }                      // 119
    virtual int32_t Slot120() { return -1; }                      // 120
    virtual int32_t Slot121() { return -1; }                      // 121
    virtual int32_t Slot122() { return -1; }                      // 122
    virtual int32_t Slot123() { return -1; }                      // 123
    virtual int32_t Slot124() { return -1; }                      // 124
    virtual int32_t Slot125() { return -1; }                      // 125
    virtual int32_t Slot126() { return -1; }                      // 126
    virtual int32_t Slot127() { return -1; }                      // 127
    virtual int32_t Slot128() { return -1; }                      // 128
    virtual int32_t Slot129() { return -1; }                      // 129
    virtual int32_t Slot130() { return -1; }                      // 130
    virtual int32_t Slot131() { return -1; }                      // 131
    virtual int32_t Slot132() { return -1; }                      // 132
    virtual int32_t Slot133() { return -1; }                      // 133
    virtual int32_t Slot134() { return -1; }                      // 134
    virtual int32_t Slot135() { return -1; }                      // 135
    virtual int32_t Slot136() { return -1; }                      // 136
    virtual int32_t Slot137() { return -1; }                      // 137
    virtual int32_t Slot138() { return -1; }                      // 138
    virtual int32_t Slot139() { return -1; }                      // 139
    virtual int32_t Slot140() { return -1; }                      // 140
    virtual int32_t Slot141() { return -1; }                      // 141
    virtual int32_t Slot142() { return -1; }                      // 142
    virtual int32_t Slot143() { return -1; }                      // 143
    virtual int32_t Slot144() { return -1; }                      // 144
    virtual int32_t Slot145() { return -1; }                      // 145
    virtual int32_t Slot146() { return -1; }                      // 146
    virtual int32_t Slot147() { return -1; }                      // 147
    virtual int32_t Slot148() { return -1; }                      // 148
    virtual int32_t Slot149() { return -1; }                      // 149
    virtual int32_t Slot150() { return -1; }                      // 150
    virtual int32_t Slot151() { return -1; }                      // 151
    virtual int32_t Slot152() { return -1; }                      // 152
    virtual int32_t Slot153() { return -1; }                      // 153
    virtual int32_t Slot154() { return -1; }                      // 154
    virtual int32_t Slot155() { return -1; }                      // 155
    virtual int32_t Slot156() { return -1; }                      // 156
    virtual int32_t Slot157() { return -1; }                      // 157
    virtual int32_t Slot158() { return -1; }                      // 158
    virtual int32_t Slot159() { return -1; }                      // 159
    virtual int32_t Slot160() { return -1; }                      // 160
    virtual int32_t Slot161() { return -1; }                      // 161
    virtual int32_t Slot162() { return -1; }                      // 162
    virtual int32_t Slot163() { return -1; }                      // 163
    virtual int32_t Slot164() { return -1; }                      // 164
    virtual int32_t Slot165() { return -1; }                      // 165
    virtual int32_t Slot166() { return -1; }                      // 166
    virtual int32_t Slot167() { return -1; }                      // 167
    virtual int32_t Slot168() { return -1; }                      // 168
    virtual int32_t Slot169() { return -1; }                      // 169
    virtual int32_t Slot170() { return -1; }                      // 170
    virtual int32_t Slot171() { return -1; }                      // 171
    virtual int32_t Slot172() { return -1; }                      // 172
    virtual int32_t Slot173() { return -1; }                      // 173
    virtual int32_t Slot174() { return -1; }                      // 174
    virtual int32_t Slot175() { return -1; }                      // 175
    virtual int32_t Slot176() { return -1; }                      // 176
    virtual int32_t Slot177() { return -1; }                      // 177
    virtual int32_t Slot178() { return -1; }                      // 178
    virtual int32_t Slot179() { return -1; }                      // 179
    virtual int32_t Slot180() { return -1; }                      // 180
    virtual int32_t Slot181() { return -1; }                      // 181
    virtual int32_t Slot182() { return -1; }                      // 182
    virtual int32_t Slot183() { return -1; }                      // 183
    virtual int32_t Slot184() { return -1; }                      // 184
    virtual int32_t Slot185() { return -1; }                      // 185
    virtual int32_t Slot186() { return -1; }                      // 186
    virtual int32_t Slot187() { return -1; }                      // 187
    virtual int32_t SetMPEG4Resolution(int32_t resolution) = 0;   // 188
    virtual int32_t GetMPEG4Resolution() = 0;                     // 189
    virtual int32_t SetH264Resolution(int32_t resolution) = 0;    // 190
    virtual int32_t GetH264Resolution() = 0;                      // 191
    virtual int32_t SetJPEGResolution(int32_t resolution) = 0;    // 192
    virtual int32_t GetJPEGResolution() = 0;                      // 193
    virtual int32_t SetStreamFormat(int32_t format) = 0;          // 194
    virtual int32_t GetStreamFormat() = 0;                        // 195
    virtual int32_t Slot196(int32_t value) = 0;                   // 196
    virtual int32_t Slot197() { return -1; }                      // 197
    virtual int32_t Slot198(int32_t value) = 0;                   // 198
    virtual int32_t Slot199() { return -1; }                      // 199
    virtual int32_t Slot200() { return -1; }                      // 200
    virtual int32_t Slot201() { return -1; }                      // 201
    virtual int32_t Slot202() { return -1; }                      // 202
    virtual int32_t Slot203() { return -1; }                      // 203
    virtual int32_t Slot204() { return -1; }                      // 204
    virtual int32_t Slot205() { return -1; }                      // 205
    virtual int32_t Slot206() { return -1; }                      // 206
    virtual int32_t Slot207() { return -1; }                      // 207
    virtual int32_t Slot208() { return -1; }                      // 208
    virtual int32_t Slot209() { return -1; }                      // 209
    virtual int32_t Slot210() { return -1; }                      // 210
    virtual int32_t Slot211() { return -1; }                      // 211
    virtual int32_t Slot212() { return -1; }                      // 212
    virtual int32_t Slot213() { return -1; }                      // 213
    virtual int32_t Slot214() { return -1; }                      // 214
    virtual int32_t Slot215() { return -1; }                      // 215
    virtual int32_t Slot216() { return -1; }                      // 216
    virtual int32_t Slot217() { return -1; }                      // 217
    virtual int32_t Slot218() { return -1; }                      // 218
    virtual int32_t Slot219() { return -1; }                      // 219
    virtual int32_t Slot220(int32_t value) = 0;                   // 220
    virtual int32_t Slot221() { return -1; }                      // 221
    virtual int32_t Slot222() { return -1; }                      // 222
    virtual int32_t Slot223() { return -1; }                      // 223
    virtual int32_t Slot224() { return -1; }                      // 224
    virtual int32_t Slot225() { return -1; }                      // 225
    virtual int32_t Slot226() { return -1; }                      // 226
    virtual int32_t Slot227() { return -1; }                      // 227
    virtual int32_t Slot228() { return -1; }                      // 228
    virtual int32_t Slot229() { return -1; }                      // 229
    virtual int32_t Slot230() { return -1; }                      // 230
    virtual int32_t Slot231() { return -1; }                      // 231
    virtual int32_t Slot232() { return -1; }                      // 232
    virtual int32_t Slot233() { return -1; }                      // 233
    virtual int32_t Slot234() { return -1; }                      // 234
    virtual int32_t Slot235() { return -1; }                      // 235
    virtual int32_t Slot236() { return -1; }                      // 236
    virtual int32_t Slot237() { return -1; }                      // 237
    virtual int32_t Slot238() { return -1; }                      // 238
    virtual int32_t Slot239() { return -1; }                      // 239
    virtual int32_t Slot240() { return -1; }                      // 240
    virtual int32_t Slot241() { return -1; }                      // 241
    virtual int32_t Slot242() { return -1; }                      // 242
    virtual int32_t Slot243() { return -1; }                      // 243
    virtual int32_t Slot244() { return -1; }                      // 244
    virtual int32_t Slot245() { return -1; }                      // 245
    virtual int32_t Slot246() { return -1; }                      // 246
    virtual int32_t Slot247() { return -1; }                      // 247
    virtual int32_t Slot248() { return -1; }                      // 248
    virtual int32_t Slot249() { return -1; }                      // 249
    virtual int32_t Slot250() { return -1; }                      // 250
    virtual int32_t Slot251() { return -1; }                      // 251
    virtual int32_t Slot252() { return -1; }                      // 252
    virtual int32_t Slot253() { return -1; }                      // 253
    virtual int32_t Slot254() { return -1; }                      // 254
    virtual int32_t Slot255() { return -1; }                      // 255
    virtual int32_t Slot256() { return -1; }                      // 256
    virtual int32_t Slot257() { return -1; }                      // 257
    virtual int32_t Slot258() { return -1; }                      // 258
    virtual int32_t Slot259() { return -1; }                      // 259
    virtual int32_t Slot260() { return -1; }                      // 260
    virtual int32_t Slot261() { return -1; }                      // 261
    virtual int32_t Slot262() { return -1; }                      // 262
    virtual int32_t Slot263() { return -1; }                      // 263
    virtual int32_t Slot264() { return -1; }                      // 264
    virtual int32_t Slot265() { return -1; }                      // 265
    virtual int32_t Slot266() { return -1; }                      // 266
    virtual int32_t Slot267() { return -1; }                      // 267
    virtual int32_t Slot268() { return -1; }                      // 268
    virtual int32_t Slot269() { return -1; }                      // 269
    virtual int32_t Slot270() { return -1; }                      // 270
    virtual int32_t Slot271() { return -1; }                      // 271
    virtual int32_t Slot272() { return -1; }                      // 272
    virtual int32_t Slot273() { return -1; }                      // 273
    virtual int32_t Slot274() { return -1; }                      // 274
    virtual int32_t Slot275() { return -1; }                      // 275
    virtual int32_t Slot276() { return -1; }                      // 276
    virtual int32_t Slot277() { return -1; }                      // 277
    virtual int32_t Slot278() { return -1; }                      // 278
    virtual int32_t Slot279() { return -1; }                      // 279
    virtual int32_t Slot280() { return -1; }                      // 280
    virtual int32_t Slot281() { return -1; }                      // 281
    virtual int32_t Slot282() { return -1; }                      // 282
    virtual int32_t Slot283() { return -1; }                      // 283
    virtual int32_t Slot284() { return -1; }                      // 284
    virtual int32_t Slot285() { return -1; }                      // 285
    virtual int32_t Slot286() { return -1; }                      // 286
    virtual int32_t Slot287() { return -1; }                      // 287
    virtual int32_t Slot288() { return -1; }                      // 288
    virtual int32_t Slot289() { return -1; }                      // 289
    virtual int32_t Slot290() { return -1; }                      // 290
    virtual int32_t Slot291() { return -1; }                      // 291
    virtual int32_t Slot292() { return -1; }                      // 292
    virtual int32_t Slot293() { return -1; }                      // 293
    virtual int32_t Slot294() { return -1; }                      // 294
    virtual int32_t Slot295() { return -1; }                      // 295
    virtual int32_t Slot296(IAppListener* listener) = 0;          // 296
    virtual int32_t Slot297() { return -1; }                      // 297
    virtual int32_t Slot298(int32_t first, int32_t second) = 0;   // 298
    virtual int32_t Slot299() { return -1; }                      // 299
    virtual int32_t Slot300() { return -1; }                      // 300
    virtual int32_t Slot301() { return -1; }                      // 301
    virtual int32_t Slot302() { return -1; }                      // 302
    virtual int32_t Slot303() { return -1; }                      // 303
    virtual int32_t Slot304() { return -1; }                      // 304
    virtual int32_t Slot305() { return -1; }                      // 305
    virtual int32_t Slot306() { return -1; }                      // 306
    virtual int32_t Slot307() { return -1; }                      // 307
    virtual int32_t Slot308() { return -1; }                      // 308
    virtual int32_t Slot309() { return -1; }                      // 309
    virtual int32_t Slot310() { return -1; }                      // 310
    virtual int32_t Slot311() { return -1; }                      // 311
    virtual int32_t Slot312() { return -1; }                      // 312
    virtual int32_t Slot313() { return -1; }                      // 313
    virtual int32_t Slot314() { return -1; }                      // 314
    virtual int32_t Slot315() { return -1; }                      // 315
    virtual int32_t Slot316() { return -1; }                      // 316
    virtual int32_t Slot317() { return -1; }                      // 317
    virtual int32_t Slot318() { return -1; }                      // 318
    virtual int32_t Slot319() { return -1; }                      // 319
    virtual int32_t Slot320() { return -1; }                      // 320
    virtual int32_t Slot321() { return -1; }                      // 321
    virtual int32_t Slot322() { return -1; }                      // 322
    virtual int32_t Slot323() { return -1; }                      // 323
    virtual int32_t Slot324() { return -1; }                      // 324
    virtual int32_t Slot325() { return -1; }                      // 325
    virtual int32_t Slot326() { return -1; }                      // 326
    virtual int32_t Slot327() { return -1; }                      // 327
    virtual int32_t Slot328(int32_t value) = 0;                   // 328
    virtual int32_t Slot329() { return -1; }                      // 329
    virtual int32_t Slot330() { return -1; }                      // 330
    virtual int32_t Slot331() { return -1; }                      // 331
    virtual int32_t Slot332(int32_t value) = 0;                   // 332

protected:
    DeviceLibrary() = default;
    ~DeviceLibrary() = default;
    DeviceLibrary(const DeviceLibrary&) = default;
    DeviceLibrary& operator=(const DeviceLibrary&) = default;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
// NOLINTEND(cppcoreguidelines-virtual-class-destructor)

// The library's one factory. Returns the library's single object (the same one at every call), or
// null when the library cannot provide one.
extern "C" DeviceLibrary* GetVelkorAPI();
