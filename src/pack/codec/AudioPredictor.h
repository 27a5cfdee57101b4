// The multimedia (audio) predictor of the RAR 2.0 stream, run by the encoder
// exactly as the decoder runs it: the decoder turns a coded delta into a byte,
// the encoder finds the delta that gives the byte it wants. Both then update
// the channel state the same way, so they stay in step byte for byte.
#pragma once

#include <cstdint>

struct AudioChannel {
    int32_t K1 = 0, K2 = 0, K3 = 0, K4 = 0, K5 = 0; // predictor weights, -17..16
    int32_t D1 = 0, D2 = 0, D3 = 0, D4 = 0;         // delta history
    int32_t LastDelta = 0;
    uint32_t Dif[11] = {};                           // error sums of the weight candidates
    uint32_t ByteCount = 0;
    int32_t LastChar = 0;
};

struct AudioState {
    AudioChannel Channels[4];
    int32_t ChannelDelta = 0; // LastDelta of the byte coded last, any channel
};

// The byte the predictor expects next in channel Channel; shifts the history.
// Must be followed by AudioUpdate for the same channel.
inline uint8_t AudioPredict(AudioState& State, int Channel)
{
    AudioChannel& V = State.Channels[Channel];
    V.ByteCount++;
    V.D4 = V.D3;
    V.D3 = V.D2;
    V.D2 = V.LastDelta - V.D1;
    V.D1 = V.LastDelta;
    int32_t P = 8 * V.LastChar + V.K1 * V.D1 + V.K2 * V.D2 + V.K3 * V.D3 + V.K4 * V.D4 + V.K5 * State.ChannelDelta;
    return uint8_t(P >> 3);
}

inline uint32_t AbsDiff(int32_t Value) { return uint32_t(Value < 0 ? -Value : Value); }

// Error sums and weight adaptation after Channel has produced Output from Delta.
inline void AudioUpdate(AudioState& State, int Channel, uint8_t Delta, uint8_t Output)
{
    AudioChannel& V = State.Channels[Channel];
    int32_t E = int32_t(int8_t(Delta)) * 8;
    int32_t CD = State.ChannelDelta;
    V.Dif[0] += AbsDiff(E);
    V.Dif[1] += AbsDiff(E - V.D1);
    V.Dif[2] += AbsDiff(E + V.D1);
    V.Dif[3] += AbsDiff(E - V.D2);
    V.Dif[4] += AbsDiff(E + V.D2);
    V.Dif[5] += AbsDiff(E - V.D3);
    V.Dif[6] += AbsDiff(E + V.D3);
    V.Dif[7] += AbsDiff(E - V.D4);
    V.Dif[8] += AbsDiff(E + V.D4);
    V.Dif[9] += AbsDiff(E - CD);
    V.Dif[10] += AbsDiff(E + CD);
    V.LastDelta = int32_t(int8_t(uint8_t(Output - V.LastChar)));
    State.ChannelDelta = V.LastDelta;
    V.LastChar = Output;
    if ((V.ByteCount & 31) != 0)
        return;
    uint32_t MinDif = V.Dif[0];
    int MinIndex = 0;
    for (int I = 1; I < 11; I++)
        if (V.Dif[I] < MinDif) {
            MinDif = V.Dif[I];
            MinIndex = I;
        }
    for (uint32_t& D : V.Dif)
        D = 0;
    // Odd indexes lower a weight, even ones raise it: 1/2 K1, 3/4 K2, ... 9/10 K5.
    int32_t* Weights[5] = {&V.K1, &V.K2, &V.K3, &V.K4, &V.K5};
    if (MinIndex == 0)
        return;
    int32_t& K = *Weights[(MinIndex - 1) / 2];
    if (MinIndex & 1) {
        if (K >= -16)
            K--;
    } else if (K < 16) {
        K++;
    }
}

// Encoder side: the delta that makes the decoder produce Byte.
inline uint8_t AudioEncodeByte(AudioState& State, int Channel, uint8_t Byte)
{
    uint8_t Predicted = AudioPredict(State, Channel);
    uint8_t Delta = uint8_t(Predicted - Byte);
    AudioUpdate(State, Channel, Delta, Byte);
    return Delta;
}

// Decoder side, as the stub does it (used by the tests to cross-check).
inline uint8_t AudioDecodeByte(AudioState& State, int Channel, uint8_t Delta)
{
    uint8_t Predicted = AudioPredict(State, Channel);
    uint8_t Output = uint8_t(Predicted - Delta);
    AudioUpdate(State, Channel, Delta, Output);
    return Output;
}
