// Unity's IL2CPP compiles a static method that native code calls back only when it carries
// AOT.MonoPInvokeCallbackAttribute, which UnityEngine defines. Elsewhere (plain Mono, the tests)
// the same sources compile against this stand-in of it.
#if !UNITY_5_3_OR_NEWER
using System;

namespace AOT
{
    [AttributeUsage(AttributeTargets.Method)]
    internal sealed class MonoPInvokeCallbackAttribute : Attribute
    {
        public MonoPInvokeCallbackAttribute(Type delegateType)
        {
            DelegateType = delegateType;
        }

        public Type DelegateType { get; private set; }
    }
}
#endif
