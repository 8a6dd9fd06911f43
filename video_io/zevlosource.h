#pragma once
// The input-source manager: source detection, EDID upkeep and the per-input
// timing records the scaler reads.

class zevlosource {
public:
    static zevlosource* pInstance();
    static zevlosource* p_zevlo_source;

    // Starts the source-detection threads.
    int initialize();

    static void destroyForTest();

private:
    zevlosource();
};
